#include "remote/SftpRoot.h"

#include "platform/SystemError.h"
#include "remote/KnownHosts.h"
#include "remote/SftpSession.h"
#include "remote/SftpUpload.h"

CSftpRoot::CSftpRoot(RemoteAddress address) : CRemoteRoot(std::move(address)) {}

CSftpRoot::~CSftpRoot() = default;

bool CSftpRoot::Connect() {
  if (m_session && !m_session->Broken()) return true;
  m_session.reset();
  auto session = std::make_shared<CSftpSession>(Address());
  const bool opened = session->Open();
  m_unknownFingerprint = session->UnknownKeyFingerprint();
  m_unknownLine = session->UnknownKeyLine();
  if (!opened) return Fail(*session);
  m_session = std::move(session);
  return true;
}

std::unique_ptr<CRemoteUpload> CSftpRoot::Create(const NameSequence& names) {
  if (!Connect()) return nullptr;
  std::unique_ptr<CRemoteUpload> upload;
  unsigned index = 0;
  CreateFirstFree(names, index,
                  [&](const std::string& name) { return !!(upload = CreateExclusive(name)); });
  return upload;
}

std::unique_ptr<CRemoteUpload> CSftpRoot::CreateExclusive(const std::string& name) {
  const std::string path = m_session->PathOf(name);
  LIBSSH2_SFTP_HANDLE* handle = libssh2_sftp_open_ex(
      m_session->Sftp(), path.c_str(), static_cast<unsigned>(path.size()),
      LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_EXCL, 0644, LIBSSH2_SFTP_OPENFILE);
  if (!handle) {
    m_session->SftpFailed("create \"" + name + "\"", name, true);
    Fail(*m_session);
    return nullptr;
  }
  return std::make_unique<CSftpUpload>(m_session, handle, name);
}

bool CSftpRoot::Remove(const std::string& name) {
  return Connect() && (m_session->Unlink(name) || Fail(*m_session));
}

bool CSftpRoot::Size(const std::string& name, int64_t& size) {
  if (!Connect()) return false;
  LIBSSH2_SFTP_ATTRIBUTES attributes = {};
  if (libssh2_sftp_stat(m_session->Sftp(), m_session->PathOf(name).c_str(), &attributes) != 0) {
    m_session->SftpFailed("read the size of \"" + name + "\"", name);
    return Fail(*m_session);
  }
  if (!(attributes.flags & LIBSSH2_SFTP_ATTR_SIZE)) {
    return Fail(ERROR_GEN_FAILURE,
                "The server of " + Address().Display() + " gave no size for \"" + name + "\".");
  }
  size = static_cast<int64_t>(attributes.filesize);
  return true;
}

bool CSftpRoot::TrustHostKey() {
  if (m_unknownLine.empty()) return false;
  std::string error;
  if (!CKnownHosts::Append(m_unknownLine, error)) return Fail(ERROR_ACCESS_DENIED, error);
  m_unknownFingerprint.clear();
  m_unknownLine.clear();
  return true;
}
