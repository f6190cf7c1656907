#include "remote/LocalUpload.h"

#include <unistd.h>

#include "platform/SystemError.h"

CLocalUpload::CLocalUpload(CFileHandle file, std::string name)
    : m_file(std::move(file)), m_path(m_file.Path()), m_name(std::move(name)) {}

CLocalUpload::~CLocalUpload() {
  if (!m_ended) Abort();
}

bool CLocalUpload::SystemFailure() {
  const uint32_t code = GetLastError();
  Abort();
  return Fail(code, "");
}

bool CLocalUpload::Write(const uint8_t* bytes, size_t length) {
  if (m_ended) return Fail(Code() ? Code() : ERROR_INVALID_HANDLE, Error());
  return m_file.Write(bytes, length) || SystemFailure();
}

bool CLocalUpload::CopyFrom(CFileHandle& source, size_t length, size_t& copied) {
  copied = 0;
  if (m_ended) return Fail(Code() ? Code() : ERROR_INVALID_HANDLE, Error());
  return m_file.CopyFrom(source, length, copied) || SystemFailure();
}

bool CLocalUpload::Finish() {
  if (m_ended) return Fail(Code() ? Code() : ERROR_INVALID_HANDLE, Error());
  if (!m_file.Close()) return SystemFailure();
  m_ended = true;
  return true;
}

bool CLocalUpload::Abort() {
  if (m_ended) return true;
  m_ended = true;
  m_file.Close();
  unlink(m_path.c_str());
  return true;
}
