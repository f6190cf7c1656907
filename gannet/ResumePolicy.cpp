#include "ResumePolicy.h"

namespace gannet {

void CResumePolicy::Begin(const CHttpHeader& answer) {
  m_total = answer.chunked ? -1 : answer.contentLength;
  m_etag = answer.etag;
  m_lastModified = answer.lastModified;
  // If-Range compares strongly: a weak ETag cannot stand for the file.
  m_validator = !m_etag.empty() && m_etag.rfind("W/", 0) != 0 ? m_etag : m_lastModified;
}

bool CResumePolicy::MayResume(int attempt, bool broken) const {
  return attempt < m_retries && broken && m_total >= 0 && !m_validator.empty();
}

std::string CResumePolicy::RangeHeaders(int64_t kept) const {
  return "Range: bytes=" + std::to_string(kept) + "-\r\nIf-Range: " + m_validator + "\r\n";
}

CResumePolicy::Decision CResumePolicy::Judge(const CHttpHeader& answer, int64_t kept) const {
  if (answer.statusCode == 200) return Decision::kRestart;
  return answer.statusCode == 206 && Fits(answer, kept) ? Decision::kContinue : Decision::kFail;
}

bool CResumePolicy::Fits(const CHttpHeader& answer, int64_t kept) const {
  int64_t first = 0;
  int64_t last = 0;
  int64_t total = 0;
  if (!answer.ContentRange(&first, &last, &total) || first != kept || total != m_total ||
      last != total - 1 || (answer.contentLength >= 0 && answer.contentLength != total - first) ||
      answer.chunked) {
    return false;
  }
  // The file must still be the one whose beginning is kept.
  return (answer.etag.empty() || answer.etag == m_etag) &&
         (answer.lastModified.empty() || answer.lastModified == m_lastModified);
}

}  // namespace gannet
