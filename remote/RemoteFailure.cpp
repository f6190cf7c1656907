#include "remote/RemoteFailure.h"

#include "platform/SystemError.h"

std::string CRemoteFailure::Reason() const {
  return m_error.empty() ? SystemErrorMessage(m_code) : m_error;
}
