// The exports of libgannet.so. No exception leaves them: a failure
// inside is reported through the result and the shared fatal code.

#include "WFCntl.h"
#include "WebErrorLog.h"
#include "WebFile.h"
#include "gannet.h"

#include <cerrno>
#include <new>

using gannet::CWebFile;

namespace {

constexpr size_t kTextBuffer = 256;

CWebFile* Object(WebHandle handle) { return static_cast<CWebFile*>(handle); }

}  // namespace

extern "C" {

int32_t webFatalErrorGet(WebHandle handle, int32_t* code, char* text) {
  if (!handle) return -1;
  const gannet::CWebErrorLog* log = gannet::CWebErrorLog::Shared();
  if (code) *code = log ? log->FatalCode() : 0;
  if (text) gannet::CopyText(text, kTextBuffer, log ? log->FatalMessage() : std::string());
  return 0;
}

int32_t webFileAcquire(WebHandle handle) {
  if (!handle) return -1;
  try {
    const int32_t result = Object(handle)->Acquire();
    errno = result == 0 ? 0 : Object(handle)->LocalError();
    return result;
  } catch (...) {
    return -1;
  }
}

int32_t webFileAcquired(WebHandle) { return 0; }

int32_t webFileInfoGet(WebHandle handle, WebFileInfo* info) {
  if (!handle || !info) return -1;
  try {
    return Object(handle)->GetInfo(info);
  } catch (...) {
    return -1;
  }
}

int32_t webFileLocalNameGet(WebHandle handle, char* buffer) {
  if (!handle || !buffer) return -1;
  gannet::CopyText(buffer, kTextBuffer, Object(handle)->LocalName());
  return CWebFile::FatalCode() == 0 ? 0 : -1;
}

void webObjectDelete(WebHandle handle) { delete Object(handle); }

WebHandle webObjectInit(const char* url, int32_t, int32_t, int32_t) {
  try {
    const std::string copy = url ? url : "";
    gannet::CWFCntl* control = gannet::CWFCntl::Get();
    if (!control) return nullptr;
    return new (std::nothrow) CWebFile(copy, control);
  } catch (...) {
    return nullptr;
  }
}

int32_t webFileIsModified(WebHandle handle) { return handle ? 1 : -1; }

int32_t webFileInUse(WebHandle handle) { return handle ? 1 : -1; }

int32_t webFilePreserve(int32_t, int32_t) { return -1; }

int32_t webFileReplace(int32_t) { return -1; }

int32_t webFileReplaced(int32_t) { return -1; }

int32_t webFileWait(int32_t) { return 0; }

int32_t webFileProgressSet(WebHandle handle, WebProgressCallback callback, void* cookie) {
  if (!handle) return -1;
  return Object(handle)->SetProgress(callback, cookie) ? 0 : -1;
}

int32_t webSocketErrorGet(WebHandle handle, int32_t* error) {
  if (!handle) return -1;
  const gannet::CWebErrorLog* log = gannet::CWebErrorLog::Shared();
  if (error) *error = log ? log->FatalSocketError() : 0;
  return 0;
}

}  // extern "C"
