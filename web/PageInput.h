#pragma once
// The download as the decoding chain reads it in the page. Its bytes come
// from the page one network chunk at a time, through the one function that
// waits for the page (PageImports.h), and go through the decoding stages in
// front of this input (the crypt filters).
//
// Without LZ the stages end in the page's sink and Pump drives them. With
// LZ, a source that pulls its input through its own file handle, the stages
// end here: this filter holds what they pass on until the LZ stage reads it
// through Handle(), whose descriptor stands for this input
// (web/platform/FileHandleRead.cpp). One input exists at a time.

#include "pipeline/Filter.h"
#include "platform/FileHandle.h"

#include <cstdint>
#include <vector>

class CPageInput final : public CFilter {
 public:
  enum class Step { More, End, Failed };

  CPageInput();
  ~CPageInput() override;

  // Starts a new download whose bytes go to `head`, the first stage.
  void Start(CFilter* head);
  // Takes the next network chunk into the head; at the end of the download
  // closes the head. Failed, with the thread's last error set, when the page
  // reports a broken or stopped download or a stage refuses its bytes.
  Step Pump();
  // What the LZ stage reads: `got` is 0 once the stages are closed.
  bool Read(void* buffer, size_t length, size_t& got);
  // The handle the LZ stage borrows.
  CFileHandle& Handle() { return m_handle; }
  // The bytes the stages pass on, held for the LZ stage.
  bool Write(const uint8_t* bytes, size_t length) override;
  // The stages are done: Read reports the end once the held bytes are read.
  bool Close() override;

  // The input whose handle has the descriptor `fd`, or null.
  static CPageInput* Behind(int fd);

 private:
  std::vector<uint8_t> m_chunk;
  std::vector<uint8_t> m_held;
  size_t m_taken = 0;
  CFilter* m_head = nullptr;
  bool m_closed = false;
  CFileHandle m_handle;
};
