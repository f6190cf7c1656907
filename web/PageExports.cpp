// The functions the page's script calls (web/page/receive.js).

#include "app/ProgressMeter.h"
#include "pipeline/Progress.h"
#include "web/WebDecoder.h"

#include <emscripten.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

CWebDecoder& Decoder() {
  static CWebDecoder decoder;
  return decoder;
}

// The text a getter returns stays valid until the next getter call.
const char* Text(std::string text) {
  static std::string kept;
  kept = std::move(text);
  return kept.c_str();
}

// A save's progress, shown in the desktop's words.
struct PageProgress {
  explicit PageProgress(const std::string& url) : progress(url) {}
  CProgress progress;
  CProgressMeter meter{progress};
};
std::unique_ptr<PageProgress> g_progress;

}  // namespace

extern "C" {

// Reads the pointer file's bytes: 0, or the error code.
EMSCRIPTEN_KEEPALIVE uint32_t quiver_open(const uint8_t* bytes, size_t length) {
  return Decoder().Open(bytes, length);
}

EMSCRIPTEN_KEEPALIVE const char* quiver_url() { return Text(Decoder().Record().GetUrl()); }

EMSCRIPTEN_KEEPALIVE uint32_t quiver_size() { return Decoder().Record().GetSize(); }

// The size as the desktop's view window shows it.
EMSCRIPTEN_KEEPALIVE const char* quiver_size_text() {
  return Text(CProgressMeter::FormatByteCount(Decoder().Record().GetSize()));
}

EMSCRIPTEN_KEEPALIVE const char* quiver_compression() {
  return Text(Decoder().Record().GetCompressionDescription());
}

EMSCRIPTEN_KEEPALIVE const char* quiver_encryption() {
  return Text(Decoder().Record().GetEncryptionDescription());
}

// Fetches and decodes (suspending while the page waits for the network):
// 0 when the file is whole, else the error code.
EMSCRIPTEN_KEEPALIVE uint32_t quiver_decode() {
  return Decoder().Decode() ? 0 : Decoder().FailureCode();
}

EMSCRIPTEN_KEEPALIVE const char* quiver_failure() { return Text(Decoder().Failure()); }

// Starts the progress of a save.
EMSCRIPTEN_KEEPALIVE void quiver_progress_begin() {
  g_progress = std::make_unique<PageProgress>(Decoder().Record().GetUrl());
  g_progress->progress.Begin(ProgressStage::Fetching, -1);
}

// The line that shows `done` of `total` bytes (-1: unknown) fetched after
// `seconds`: "Fetching a.bin: 1.5 MB of 3.0 MB, 45.6 MB/s, 1 s left".
EMSCRIPTEN_KEEPALIVE const char* quiver_progress_line(double done, double total, double seconds) {
  g_progress->progress.Set(static_cast<int64_t>(done), static_cast<int64_t>(total));
  g_progress->meter.Update(seconds);
  return Text(g_progress->meter.Line());
}

// A broken download goes on from `kept` bytes after `waitMs`, for its
// `attempt`th of `attempts` resumes; the line says so.
EMSCRIPTEN_KEEPALIVE void quiver_progress_resume(double kept, double total, int attempt,
                                                 int attempts, double waitMs) {
  g_progress->progress.Resume(static_cast<int64_t>(kept), static_cast<int64_t>(total), attempt,
                              attempts, std::chrono::milliseconds(static_cast<int64_t>(waitMs)));
}

}
