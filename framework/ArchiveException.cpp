#include "framework/ArchiveException.h"

namespace {

const char* Describe(CArchiveException::Cause cause) {
  using Cause = CArchiveException::Cause;
  switch (cause) {
    case Cause::EndOfFile: return "archive: unexpected end of file";
    case Cause::BadClass: return "archive: unknown or unaccepted class";
    case Cause::BadSchema: return "archive: wrong schema number";
    case Cause::BadIndex: return "archive: bad object or class index";
    case Cause::BadObject: return "archive: unaccepted object tag";
    case Cause::ReadFault: return "archive: read failed";
    case Cause::WriteFault: return "archive: write failed";
  }
  return "archive: failure";
}

}  // namespace

CArchiveException::CArchiveException(Cause cause, uint32_t systemError)
    : std::runtime_error(Describe(cause)), m_cause(cause), m_systemError(systemError) {}

bool CArchiveException::IsFormatError() const {
  return m_cause != Cause::ReadFault && m_cause != Cause::WriteFault;
}
