#include "web/WebDecoder.h"

#include "pipeline/LZCompressFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"

#include <unistd.h>

namespace {

// The record's bytes are read through the archive from a file of
// Emscripten's memory file system. Its fstat goes by the path, so the file
// keeps its name until it is read.
constexpr char kRecordPath[] = "/pointer.qvr";

}  // namespace

uint32_t CWebDecoder::Open(const uint8_t* bytes, size_t length) {
  CFileHandle file;
  const bool written = file.CreateNew(kRecordPath, FileShare::None) &&
                       file.Write(bytes, length) && file.Seek(0);
  const uint32_t code = written ? m_record.Load(file) : GetLastError();
  unlink(kRecordPath);
  return code;
}

CFilter* CWebDecoder::LinkStages() {
  CFilter* head = &m_sink;
  for (const auto& filter : m_record.GetFilters()) {
    filter->Reset();
    filter->SetDecode();
    filter->SetNext(head);
    head = filter.get();
    // LZ, always the first transform, reads what the stages before it
    // pass to the input.
    if (filter->Is<CLZCompressFilter>()) {
      static_cast<CLZCompressFilter*>(head)->Attach(m_input.Handle());
      head = &m_input;
    }
  }
  return head;
}

bool CWebDecoder::Decode() {
  m_failureCode = 0;
  m_failure.clear();
  m_sink.Reset();
  m_input.Start(LinkStages());
  CLZCompressFilter* lz = m_record.FindFilter<CLZCompressFilter>();
  bool ok;
  if (lz) {
    ok = lz->Run();
    lz->Attach(nullptr);
  } else {
    CPageInput::Step step;
    while ((step = m_input.Pump()) == CPageInput::Step::More) {
    }
    ok = step == CPageInput::Step::End;
  }
  if (!ok) {
    const uint32_t code = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    return Fail(code, m_record.DecodingFailureDetail(code));
  }
  if (static_cast<uint32_t>(m_sink.GetByteCount()) != m_record.GetSize()) {
    return Fail(ERROR_INVALID_DATA, CPointerRecord::kChangedSizeDetail);
  }
  return true;
}

bool CWebDecoder::Fail(uint32_t code, const std::string& detail) {
  m_failureCode = code;
  m_failure = SystemErrorMessage(code) + (detail.empty() ? "" : " " + detail);
  return false;
}
