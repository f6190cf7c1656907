#pragma once
// The receive page's decoder: reads a pointer record (pipeline/PointerRecord.h)
// from its bytes, then decodes the published file as the page fetches it,
// with the desktop's own filters, handing each decoded block to the page.
//
// The chain is the desktop's (app/PointerFetch.cpp) with the fetched file
// replaced by the page's input (web/PageInput.h): the transforms in reverse
// order, each set to decode. The LZ stage pulls its input through the crypt
// stages in front of it instead of reading a stage file, so memory stays
// bounded whatever the size.

#include "pipeline/PointerRecord.h"
#include "web/PageInput.h"
#include "web/PageSinkFilter.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CWebDecoder {
 public:
  // Replaces the record by the one in `bytes`: 0, or the error code (13 for
  // a damaged record).
  uint32_t Open(const uint8_t* bytes, size_t length);
  CPointerRecord& Record() { return m_record; }

  // Fetches and decodes the whole file. True when every byte was decoded,
  // a Strong file authenticated to its final chunk, and the byte count
  // modulo 2^32 is the record's size; else FailureCode and Failure say why.
  bool Decode();
  uint32_t FailureCode() const { return m_failureCode; }
  // The system's message for the code and what it means for this file.
  const std::string& Failure() const { return m_failure; }

 private:
  // Links the record's filters in front of the sink; returns the first
  // stage, which takes the fetched bytes.
  CFilter* LinkStages();
  bool Fail(uint32_t code, const std::string& detail);

  CPointerRecord m_record;
  CPageInput m_input;
  CPageSinkFilter m_sink;
  uint32_t m_failureCode = 0;
  std::string m_failure;
};
