#include "remote/SftpRoot.h"

#include "platform/StopEvent.h"
#include "platform/SystemError.h"
#include "remote/KnownHosts.h"
#include "remote/SftpSession.h"
#include "remote/SftpUpload.h"

CSftpRoot::CSftpRoot(RemoteAddress address) : m_address(std::move(address)) {}

CSftpRoot::~CSftpRoot() = default;

bool CSftpRoot::Connect() {
  if (m_session && !m_session->Broken()) return true;
  m_session.reset();
  auto session = std::make_shared<CSftpSession>(m_address);
  const bool opened = session->Open();
  m_unknownFingerprint = session->UnknownKeyFingerprint();
  m_unknownLine = session->UnknownKeyLine();
  if (!opened) return Fail(*session);
  m_session = std::move(session);
  return true;
}

std::unique_ptr<CPublishUpload> CSftpRoot::Create(const NameSequence& names) {
  if (!Connect()) return nullptr;
  const std::string work = std::string(kWorkPrefix) + "part-" + RandomToken(16);
  LIBSSH2_SFTP_HANDLE* handle = CreateExclusive(work);
  if (!handle) return nullptr;
  return std::make_unique<CSftpUpload>(m_session, handle, work, names);
}

LIBSSH2_SFTP_HANDLE* CSftpRoot::CreateExclusive(const std::string& name) {
  const std::string path = m_session->PathOf(name);
  LIBSSH2_SFTP_HANDLE* handle = libssh2_sftp_open_ex(
      m_session->Sftp(), path.c_str(), static_cast<unsigned>(path.size()),
      LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_EXCL, 0644, LIBSSH2_SFTP_OPENFILE);
  if (!handle) {
    m_session->SftpFailed("create \"" + name + "\"", name, true);
    Fail(*m_session);
  }
  return handle;
}

bool CSftpRoot::Remove(const std::string& name) {
  return Connect() && (m_session->Unlink(name) || Fail(*m_session));
}

bool CSftpRoot::Discard(const std::string& workName) {
  // Removing what a stopped send made must not be stopped itself.
  const CStopEvent::Scope unstoppable(nullptr);
  return Remove(workName) || Code() == ERROR_FILE_NOT_FOUND;
}

bool CSftpRoot::Look(const std::string& name, RootEntry& entry) {
  if (!Connect()) return false;
  LIBSSH2_SFTP_ATTRIBUTES attributes = {};
  if (libssh2_sftp_lstat(m_session->Sftp(), m_session->PathOf(name).c_str(), &attributes) != 0) {
    m_session->SftpFailed("look at \"" + name + "\"", name);
    return Fail(*m_session);
  }
  const bool typed = attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS;
  if (typed && !LIBSSH2_SFTP_S_ISREG(attributes.permissions)) {
    return Fail(ERROR_ACCESS_DENIED, "it is not a file.");
  }
  if (!(attributes.flags & LIBSSH2_SFTP_ATTR_SIZE)) {
    return Fail(ERROR_GEN_FAILURE,
                "The server of " + m_address.Display() + " gave no size for \"" + name + "\".");
  }
  entry.size = static_cast<int64_t>(attributes.filesize);
  if (typed) entry.mode = attributes.permissions & 07777;
  return true;
}

bool CSftpRoot::CheckExclusive() {
  if (!Connect()) return false;
  const std::string probe = std::string(kWorkPrefix) + "probe-" + RandomToken(16);
  const std::string first = probe + "-a", second = probe + "-b";
  for (const std::string& name : {first, second}) {
    LIBSSH2_SFTP_HANDLE* handle = CreateExclusive(name);
    if (!handle) return false;
    libssh2_sftp_close_handle(handle);
  }
  const bool replaced = m_session->Rename(first, second);
  const CStatus answer = m_session->Status();
  m_session->Unlink(first);
  m_session->Unlink(second);
  if (!replaced && answer.Code() == ERROR_FILE_EXISTS) return true;
  if (!replaced) return Fail(answer);
  return Fail(ERROR_NOT_SUPPORTED,
              "The SFTP server of " + m_address.Display() +
                  " renamed a file over one that exists, where it must refuse: two senders "
                  "could take one name and one file would overwrite the other. Quiver does "
                  "not publish there; use a server that refuses, such as OpenSSH's sftp "
                  "server.");
}

std::string CSftpRoot::HostName() const {
  return m_address.host + ":" + std::to_string(m_address.port);
}

bool CSftpRoot::TrustHostKey() {
  if (m_unknownLine.empty()) return false;
  std::string error;
  if (!CKnownHosts::Append(m_unknownLine, error)) return Fail(ERROR_ACCESS_DENIED, error);
  m_unknownFingerprint.clear();
  m_unknownLine.clear();
  return true;
}
