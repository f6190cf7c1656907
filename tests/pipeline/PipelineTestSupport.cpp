#include "PipelineTestSupport.h"

#include "pipeline/LZCompressFilter.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/SourceFilter.h"
#include "pipeline/StageFilter.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <memory>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

std::string NewTempPath(const std::string& name) {
  static int counter = 0;
  return testing_support::TestRoot() + "/" + name + "." + std::to_string(++counter);
}

std::string MakeInputFile(const std::string& bytes) {
  const std::string path = NewTempPath("input");
  testing_support::WriteFile(path, bytes);
  return path;
}

std::string MakeSparseFile(uint64_t size) {
  // Open until the process ends: the path names the descriptor.
  struct MemoryFiles {
    std::vector<int> fds;
    ~MemoryFiles() {
      for (const int fd : fds) close(fd);
    }
  };
  static MemoryFiles files;
  const int fd = memfd_create("sparse", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
    throw std::runtime_error("cannot make a sparse file in memory");
  }
  files.fds.push_back(fd);
  return "/proc/self/fd/" + std::to_string(fd);
}

LZRun RunLZ(const std::string& input, bool encode, CLZCompressFilter* filter) {
  CCollectFilter collect;
  CLZCompressFilter own;
  CLZCompressFilter& lz = filter ? *filter : own;
  Prepare(lz, encode, &collect);
  if (!lz.Open(MakeInputFile(input))) throw std::runtime_error("cannot open LZ input");
  LZRun run;
  run.ok = lz.Run();
  run.lastError = GetLastError();
  run.error = lz.GetError();
  run.output = collect.data;
  run.bytesIn = lz.GetBytesIn();
  run.bytesOut = lz.GetBytesOut();
  return run;
}

namespace {

std::unique_ptr<CSinkFilter> OutputSink(const std::string& out) {
  auto file = std::make_unique<CFileHandle>();
  if (!file->CreateAlways(out, FileShare::None)) throw std::runtime_error("cannot create " + out);
  return std::make_unique<CSinkFilter>(std::move(file));
}

}  // namespace

bool EncodeChain(const std::vector<CFilter*>& filters, const std::string& in,
                 const std::string& out) {
  auto sink = OutputSink(out);
  CFilter* head = sink.get();
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    Prepare(**it, true, head);
    head = *it;
  }
  if (head->IsSource()) {
    auto* source = static_cast<CSourceFilter*>(head);
    return source->Open(in) && source->Run();
  }
  CSourceFilter source(head);
  return source.Open(in) && source.Run();
}

std::unique_ptr<CStageFilter> Stage(CSourceFilter& source) {
  const std::string path = NewTempPath("ccqSink");
  auto file = std::make_unique<CFileHandle>();
  std::unique_ptr<CStageFilter> stage;
  if (file->CreateNew(path, FileShare::ReadWrite)) {
    stage = CStageFilter::InFrontOf(source, std::move(file), path);
  }
  if (!stage) throw std::runtime_error("cannot create a stage file");
  return stage;
}

bool DecodeChain(const std::vector<CFilter*>& filters, const std::string& in,
                 const std::string& out) {
  auto sink = OutputSink(out);
  std::vector<std::unique_ptr<CStageFilter>> stages;
  CFilter* head = sink.get();
  for (CFilter* f : filters) {
    Prepare(*f, false, head);
    head = f;
    if (f->IsSource()) {
      stages.push_back(Stage(*static_cast<CSourceFilter*>(f)));
      head = stages.back().get();
    }
  }
  CSourceFilter source(head);
  return source.Open(in) && source.Run();
}

namespace {

// Moves `pos` to the end of the group that began at `groupStart`.
uint64_t SkipRestOfGroup(uint64_t pos, uint64_t groupStart, int width) {
  const uint64_t group = 8 * static_cast<uint64_t>(width);
  const uint64_t used = pos - groupStart;
  return groupStart + (used + group - 1) / group * group;
}

}  // namespace

ZStream ParseZ(const std::string& s) {
  ZStream z;
  if (s.size() < 3 || static_cast<uint8_t>(s[0]) != 0x1F || static_cast<uint8_t>(s[1]) != 0x9D) {
    return z;
  }
  const auto flags = static_cast<uint8_t>(s[2]);
  z.maxBits = flags & 0x1F;
  z.blockMode = (flags & 0x80) != 0;
  if (z.maxBits < 9 || z.maxBits > 16) return z;
  const uint32_t limit = (1u << z.maxBits) - 1;
  std::vector<uint16_t> prefix(limit + 1);
  std::vector<uint8_t> suffix(limit + 1);
  const uint64_t bits = 8 * static_cast<uint64_t>(s.size());
  auto byteAt = [&](uint64_t i) -> uint32_t {
    return i < s.size() ? static_cast<uint8_t>(s[i]) : 0;
  };
  uint64_t pos = 24;
  uint64_t groupStart = pos;
  int width = 9;
  uint32_t next = z.blockMode ? 257 : 256;  // the entry the next code defines
  int32_t old = -1;
  while (pos + width <= bits) {
    const uint64_t i = pos / 8;
    const uint32_t raw = byteAt(i) | byteAt(i + 1) << 8 | byteAt(i + 2) << 16;
    const uint32_t code = (raw >> (pos % 8)) & ((1u << width) - 1);
    const uint64_t group = 8 * static_cast<uint64_t>(width);
    z.codes.push_back({code, width, pos, groupStart + (pos - groupStart) / group * group, 0});
    pos += width;
    if (code == 256 && z.blockMode && old >= 0) {
      pos = groupStart = SkipRestOfGroup(pos, groupStart, width);
      width = 9;
      next = 257;
      old = -1;
      z.codes.back().decoded = z.expanded.size();
      continue;
    }
    std::string piece;
    uint32_t walk = code;
    if (old < 0) {
      if (code > 255) return z;
    } else if (code >= next) {
      if (code > next || next > limit) return z;
      walk = static_cast<uint32_t>(old);
    }
    while (walk > 255) {
      piece += static_cast<char>(suffix[walk]);
      walk = prefix[walk];
    }
    piece += static_cast<char>(walk);
    std::string forward(piece.rbegin(), piece.rend());
    if (old >= 0 && code >= next) forward += forward[0];
    z.expanded += forward;
    z.codes.back().decoded = z.expanded.size();
    if (old >= 0 && next <= limit) {
      prefix[next] = static_cast<uint16_t>(old);
      suffix[next] = static_cast<uint8_t>(forward[0]);
      ++next;
      if (next > (1u << width) - 1 && width < z.maxBits) {
        pos = groupStart = SkipRestOfGroup(pos, groupStart, width);
        ++width;
      }
    }
    old = static_cast<int32_t>(code);
  }
  z.valid = true;
  return z;
}
