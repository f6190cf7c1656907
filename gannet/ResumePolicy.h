#pragma once
// When and how a broken body is resumed. A body that broke after the header
// (a reset, an end before Content-Length bytes, no progress within the time
// limit) of an answer with a Content-Length and a validator (a strong ETag,
// else Last-Modified) is asked for again from the same final URL with
// "Range: bytes=N-" and "If-Range", after a wait that doubles with every
// attempt. A 206 that continues at N with the same total, to its end, and
// the same validators is appended; a 200 starts the file again; anything
// else fails.

#include "HttpHeader.h"

#include <cstdint>
#include <string>

namespace gannet {

class CResumePolicy {
 public:
  enum class Decision { kContinue, kRestart, kFail };

  // At most retries resumes per transfer (0: none); the first waits
  // firstWaitMs, each later one twice as long as the one before.
  void SetLimits(int retries, int firstWaitMs) {
    m_retries = retries;
    m_firstWaitMs = firstWaitMs;
  }
  // Keeps what a resume needs of answer, whose body is now taken.
  void Begin(const CHttpHeader& answer);
  // The length of the whole body, or -1 when the answer framed none.
  int64_t Total() const { return m_total; }
  // Whether attempt (0 first) may follow a body that broke (broken) for
  // no reason of the transfer's own.
  bool MayResume(int attempt, bool broken) const;
  // The wait before attempt, in milliseconds.
  int64_t WaitMs(int attempt) const { return static_cast<int64_t>(m_firstWaitMs) << attempt; }
  // The header lines that ask for the body from byte kept on.
  std::string RangeHeaders(int64_t kept) const;
  // What to do with answer to a range request from byte kept on.
  Decision Judge(const CHttpHeader& answer, int64_t kept) const;

 private:
  bool Fits(const CHttpHeader& answer, int64_t kept) const;

  int m_retries = 0;
  int m_firstWaitMs = 1000;
  int64_t m_total = -1;
  std::string m_etag;
  std::string m_lastModified;
  std::string m_validator;
};

}  // namespace gannet
