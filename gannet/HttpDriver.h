#pragma once
// The HTTP/1.0 driver: connects directly or through a proxy, sends one GET,
// reads the answer until the server closes the connection, parses the
// header block and writes the body into the local file. The answer streams
// through one 20480-byte window; the body never sits whole in memory.
//
// The local file is created with O_CREAT | O_EXCL | O_NOFOLLOW and mode
// 0600; a name taken by anybody else fails the transfer. A later transfer
// of the same driver rewrites the file it created itself.

#include "ProtocolDriver.h"
#include "gannet.h"

#include <memory>
#include <sys/types.h>
#include <vector>

namespace gannet {

class CNetSocket;
class CContentTypeTable;

class CHttpDriver : public CProtocolDriver {
 public:
  static constexpr int32_t kWindow = 20480;
  static constexpr int32_t kRefillThreshold = 256;

  // socket and table are not owned (table may be null: no extension mapping).
  // proxy is "" for a direct connection. reserved is stored and not used.
  CHttpDriver(const std::string& url, const std::string& localName, const std::string& proxy,
              CNetSocket* socket, int32_t reserved, CContentTypeTable* table);
  ~CHttpDriver() override;
  CHttpDriver(const CHttpDriver&) = delete;
  CHttpDriver& operator=(const CHttpDriver&) = delete;

  int32_t Load(std::string* name, int32_t* length) override;
  int32_t GetInfo(DriverInfo* info) override;
  int32_t GetSocketError() override;
  int GetLocalError() const override { return m_localError; }
  // Follows later transfers with callback (see webFileProgressSet).
  void SetProgress(WebProgressCallback callback, void* cookie) {
    m_progress = callback;
    m_progressCookie = cookie;
  }

  // Claims a new name "http" + unique part + ".tmp" in the user's temporary
  // directory ($TMPDIR when it names a directory, else /tmp), proves it can
  // be created, and removes the file again. False when that fails or when
  // the name would not fit 252 characters (a mapped extension may add 3).
  static bool ChooseTempFile(std::string* name);

  // The request for target (percent-escaped) with a Host header for
  // hostHeader; the bytes sent, exactly.
  static std::string BuildRequest(const std::string& target, const std::string& hostHeader);

 private:
  bool Transfer();
  bool ReceiveAll();
  // False when the progress callback asked to stop; the local file is then
  // gone and the local error is ECANCELED.
  bool ReportProgress();
  bool FindHeaderEnd(int32_t* scanFrom);
  void ParseHeader();
  bool OpenOutput();
  int OpenOwnFile();
  bool WriteOutput(const char* data, size_t size);
  // Keeps errno as the first local-file failure of the transfer.
  void NoteLocalError();
  bool FlushWindow();
  bool CloseOutput();

  std::string m_url;
  std::string m_localName;
  std::string m_proxy;
  CNetSocket* m_socket;
  CContentTypeTable* m_table;
  std::vector<char> m_receive;
  int32_t m_filled = 0;
  int32_t m_headerLength = 0;
  bool m_headerParsed = false;
  int64_t m_contentLength = -1;
  int64_t m_bodyReceived = 0;
  int32_t m_requestLength = 0;
  int32_t m_fileLength = 0;
  std::string m_contentType;
  int32_t m_statusCode = 0;
  std::string m_statusLine;
  int m_output = -1;
  int m_localError = 0;
  int32_t m_success = 0;
  int32_t m_socketError = 0;
  // The file this driver created last, so that it may rewrite it.
  std::string m_ownPath;
  WebProgressCallback m_progress = nullptr;
  void* m_progressCookie = nullptr;
  dev_t m_ownDevice = 0;
  ino_t m_ownInode = 0;
};

}  // namespace gannet
