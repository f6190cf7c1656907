#pragma once
// The interface of a protocol driver: one fetch of one URL into the web
// object's local file, and what the driver can tell about it afterwards.

#include <cstdint>
#include <string>

namespace gannet {

// A driver's account of its last transfer.
struct DriverInfo {
  std::string url;
  std::string localName;
  std::string proxy;
  std::string contentType;
  std::string statusLine;     // up to the first LF; "" when none was found
  int32_t statusCode = 0;
  int32_t success = 0;
  int32_t fileLength = 0;
  int32_t requestLength = 0;
  // The URL of the answer that was taken (after redirects) and its
  // validators: what a later transfer needs to resume or revalidate.
  std::string finalUrl;
  std::string etag;          // "" when the answer had none
  std::string lastModified;  // "" when the answer had none
  int64_t contentLength = -1;
};

class CProtocolDriver {
 public:
  virtual ~CProtocolDriver() = default;

  // Runs a complete transfer. 1 with the final local file name in *name and
  // its length in *length, or 0.
  virtual int32_t Load(std::string* name, int32_t* length) = 0;
  // Reports the state of the last transfer; 1.
  virtual int32_t GetInfo(DriverInfo* info) = 0;
  // The socket error stored by the last failed Load; 0 when there was none.
  virtual int32_t GetSocketError() = 0;
  // The errno value with which the last Load failed to create or write its
  // local file; 0 when the local file was not the cause.
  virtual int GetLocalError() const = 0;
};

}  // namespace gannet
