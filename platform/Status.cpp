#include "platform/Status.h"

#include "platform/SystemError.h"

CStatus CStatus::FromLastError(std::string error) {
  const uint32_t code = GetLastError();
  return CStatus(code != 0 ? code : ERROR_GEN_FAILURE, std::move(error));
}

std::string CStatus::Reason() const { return m_error.empty() ? SystemErrorMessage(m_code) : m_error; }
