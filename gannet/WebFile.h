#pragma once
// One web object: a URL, the local file it is fetched into, and the parts
// that fetch it (socket, protocol driver). Construction takes references on
// the shared error record and content-type table and registers with the
// network event control; every outcome is recorded in the shared record
// with a code from 0 to 10.

#include "NetSocket.h"
#include "WebErrorLog.h"
#include "gannet.h"

#include <array>
#include <memory>
#include <string>

namespace gannet {

class CContentTypeTable;
class CHttpDriver;
class CIniFile;
class CTcpSocket;
class CWFCntl;

constexpr int32_t kWebMsgSocket = 1092;
constexpr int32_t kWebAttachCookie = 0x1234;

class CWebFile {
 public:
  // Builds the object step by step; a failing step records its code and
  // ends construction, leaving the object without a driver. control must
  // exist.
  CWebFile(const std::string& url, CWFCntl* control);
  ~CWebFile();
  CWebFile(const CWebFile&) = delete;
  CWebFile& operator=(const CWebFile&) = delete;

  // Runs a complete transfer into the local file. 0 when the shared fatal
  // code is 0 afterwards, else -1.
  int32_t Acquire();
  // Why the last Acquire could not create or write the local file, as an
  // errno value; 0 when the local file was not the cause.
  int LocalError() const;
  // Hands the progress callback to the driver; false without one.
  bool SetProgress(WebProgressCallback callback, void* cookie);
  // Fills *info; -1 without a driver (after the three texts), else 0.
  int32_t GetInfo(WebFileInfo* info) const;
  // The local file name: the ".tmp" name chosen at construction, then the
  // name the last transfer used (with the extension the content type
  // mapped), so that what a failed transfer left can be removed. While a
  // transfer runs, the name its driver writes.
  const std::string& LocalName() const;

  // The shared fatal code (0 when there is no shared record).
  static int32_t FatalCode();

 private:
  // Steps 1-8 (settings, shared objects, control, URL, temporary name) and
  // 9-12 (socket, registration, driver). False once a step has failed.
  bool Construct(const std::string& url);
  bool ConstructNetwork();
  void Record(int32_t code, bool fatal);
  // Detaches and frees socket, socket info and driver; a second call does
  // nothing.
  void ReleaseParts();

  std::array<std::string, kErrorCodes> m_messages;
  std::string m_url;
  std::string m_localName;
  std::string m_proxy;
  std::string m_caFile;
  int m_timeout = 60;
  int m_retries = 5;
  int m_retryWaitMs = 1000;
  // Kept for the object's own account; the driver reports what callers see.
  int32_t m_fileLength = 0;
  intptr_t m_controlWindow = 0;
  CWFCntl* m_control;
  std::unique_ptr<CHttpDriver> m_driver;
  int32_t m_protocol = -1;
  std::unique_ptr<CTcpSocket> m_socket;
  std::unique_ptr<WebSocketInfo> m_socketInfo;
  std::unique_ptr<CIniFile> m_settingsFile;
  CWebErrorLog* m_log = nullptr;
  CContentTypeTable* m_table = nullptr;
  bool m_attached = false;
};

}  // namespace gannet

namespace gannet {

// Copies text into out (size bytes), cut to size - 1 characters and a NUL.
void CopyText(char* out, size_t size, const std::string& text);

}  // namespace gannet
