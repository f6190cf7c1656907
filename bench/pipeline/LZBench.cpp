// Compression speed and memory of the LZ filter against ncompress's compress.
//
// Builds a text corpus (from /usr/share/doc and /usr/include), a binary
// corpus (from the shared libraries in /usr/lib/x86_64-linux-gnu), each at
// least 64 MiB, and a 64 MiB image of binary stretches between zeros; then
// compresses each several times with a file-to-file chain
// (CLZCompressFilter -> CSinkFilter) and with `compress -c`, alternating.
// Then expands the filter's stream as many times with the filter
// (CLZCompressFilter -> CSinkFilter, decoding) and with `compress -d -c`,
// alternating. Prints the median wall times, the medians of the per-run
// ratios of wall and processor time, and the compressed sizes; then the peak resident memory of compressing 16 MiB and
// 512 MiB, each in a fresh process measured by /usr/bin/time.
//
// Usage: quiver_lz_bench [--runs N]
//        quiver_lz_bench --compress-one IN OUT   (one compression, for the
//                                                 memory measurement)
//        quiver_lz_bench --expand-one IN OUT     (one expansion, for profiling)

#include "pipeline/LZCompressFilter.h"
#include "pipeline/SinkFilter.h"
#include "platform/FileHandle.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kCorpusSize = 64 * kMiB;

struct Corpus {
  const char* name;
  std::vector<const char*> roots;
  bool (*wanted)(const fs::path&);
};

bool IsTextFile(const fs::path& p) {
  static const char* skipped[] = {".gz", ".bz2", ".xz", ".zip", ".png", ".jpg", ".gif", ".pdf"};
  const std::string ext = p.extension().string();
  return std::none_of(std::begin(skipped), std::end(skipped), [&](const char* s) { return ext == s; });
}

bool IsSharedLibrary(const fs::path& p) { return p.filename().string().find(".so") != std::string::npos; }

// Appends whole files under `roots` in sorted order to `out` until `size`
// bytes are written (the last file is cut); repeats the set if it is too
// small.
void BuildCorpus(const Corpus& corpus, const std::string& out, uint64_t size) {
  std::vector<fs::path> files;
  for (const char* root : corpus.roots) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (ec) break;
      if (it->is_regular_file(ec) && !it->is_symlink(ec) && corpus.wanted(it->path())) {
        files.push_back(it->path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) throw std::runtime_error(std::string("no files for ") + corpus.name);
  std::ofstream os(out, std::ios::binary | std::ios::trunc);
  std::vector<char> block(1 << 20);
  uint64_t written = 0;
  while (written < size) {
    for (const fs::path& f : files) {
      std::ifstream is(f, std::ios::binary);
      while (written < size && is) {
        is.read(block.data(), static_cast<std::streamsize>(std::min<uint64_t>(block.size(), size - written)));
        os.write(block.data(), is.gcount());
        written += static_cast<uint64_t>(is.gcount());
      }
      if (written >= size) break;
    }
  }
  if (!os) throw std::runtime_error("cannot write " + out);
}

// The sending chain with compression only: the LZ filter reads `in`, a sink
// writes `out`.
bool CompressWithFilter(const std::string& in, const std::string& out) {
  auto file = std::make_unique<CFileHandle>();
  if (!file->CreateAlways(out, FileShare::None)) return false;
  CSinkFilter sink(std::move(file));
  CLZCompressFilter lz;
  lz.Reset();
  lz.SetEncode();
  lz.SetNext(&sink);
  return lz.Open(in) && lz.Run();
}

// The receiving end of the chain: the LZ filter expands `in` into `out`.
bool ExpandWithFilter(const std::string& in, const std::string& out) {
  auto file = std::make_unique<CFileHandle>();
  if (!file->CreateAlways(out, FileShare::None)) return false;
  CSinkFilter sink(std::move(file));
  CLZCompressFilter lz;
  lz.Reset();
  lz.SetDecode();
  lz.SetNext(&sink);
  return lz.Open(in) && lz.Run();
}

double CpuSeconds(const struct rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs `argv` with standard output redirected to `stdoutPath` (if given);
// returns its exit status, -1 when it did not exit normally. `cpuSeconds`
// receives the child's processor time.
int Spawn(const std::vector<std::string>& argv, const std::string& stdoutPath,
          double* cpuSeconds = nullptr) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdoutPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  int result = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) result = WEXITSTATUS(status);
    if (cpuSeconds) *cpuSeconds = CpuSeconds(usage);
  }
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

// The peak resident memory of `argv` in KiB, or -1 when it failed. Measured
// by /usr/bin/time, a small process of its own: a child spawned from this
// one would inherit this process's high-water mark.
long PeakMemoryKiB(std::vector<std::string> argv, const std::string& stdoutPath,
                   const std::string& dir) {
  const std::string report = dir + "/peak.txt";
  argv.insert(argv.begin(), {"/usr/bin/time", "-f", "%M", "-o", report});
  if (Spawn(argv, stdoutPath) != 0) return -1;
  std::ifstream is(report);
  long kib = -1;
  is >> kib;
  return kib;
}

template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

uint64_t FileSize(const std::string& path) { return fs::file_size(path); }

struct Timings {
  std::vector<double> ours, theirs, ratios, cpuRatios;
};

// Times `ours` in this process against the command `theirs` (standard output
// into `theirsOut`), alternating, `runs` times.
template <class F>
Timings Alternate(int runs, F&& ours, const std::vector<std::string>& theirs,
                  const std::string& theirsOut) {
  Timings t;
  for (int i = 0; i < runs; ++i) {
    bool ok = true;
    struct rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    const double t1 = Seconds([&] { ok = ours(); });
    getrusage(RUSAGE_SELF, &after);
    if (!ok) throw std::runtime_error("the filter failed");
    int status = -1;
    double theirCpu = 0;
    const double t2 = Seconds([&] { status = Spawn(theirs, theirsOut, &theirCpu); });
    if (status != 0) throw std::runtime_error(theirs[0] + " failed");
    t.ours.push_back(t1);
    t.theirs.push_back(t2);
    t.ratios.push_back(t1 / t2);
    t.cpuRatios.push_back((CpuSeconds(after) - CpuSeconds(before)) / theirCpu);
  }
  return t;
}

void PrintTimings(const char* what, const char* theirs, double mib, const Timings& t) {
  std::printf("       %-8s filter %6.3f s (%5.1f MiB/s)  %s %6.3f s (%5.1f MiB/s)\n"
              "                median ratio filter/%s: wall time %.3f, processor time %.3f\n",
              what, Median(t.ours), mib / Median(t.ours), theirs, Median(t.theirs),
              mib / Median(t.theirs), theirs, Median(t.ratios), Median(t.cpuRatios));
}

void BenchCorpus(const std::string& name, const std::string& corpus, const std::string& dir,
                 int runs) {
  const std::string ours = dir + "/" + name + ".ours.Z";
  const std::string theirs = dir + "/" + name + ".compress.Z";
  const std::string expanded = dir + "/" + name + ".expanded";
  const Timings packing = Alternate(
      runs, [&] { return CompressWithFilter(corpus, ours); }, {"compress", "-c", corpus}, theirs);
  const bool restores = Spawn({"sh", "-c", "compress -d -c < '" + ours + "' | cmp -s - '" + corpus + "'"},
                              "") == 0;
  const Timings unpacking = Alternate(
      runs, [&] { return ExpandWithFilter(ours, expanded); }, {"compress", "-d", "-c", ours},
      dir + "/" + name + ".compress.out");
  const bool expands = Spawn({"cmp", "-s", expanded, corpus}, "") == 0;
  const double mib = static_cast<double>(FileSize(corpus)) / kMiB;
  std::printf("%-6s %6.1f MiB\n", name.c_str(), mib);
  PrintTimings("compress", "compress -c", mib, packing);
  PrintTimings("expand", "compress -d", mib, unpacking);
  std::printf("       the filter expands its own stream to the input: %s\n", expands ? "yes" : "NO");
  std::printf("       sizes: filter %llu bytes (%.1f%%), compress %llu bytes (%.1f%%); "
              "uncompress restores the filter's output: %s\n",
              static_cast<unsigned long long>(FileSize(ours)), 100.0 * FileSize(ours) / FileSize(corpus),
              static_cast<unsigned long long>(FileSize(theirs)),
              100.0 * FileSize(theirs) / FileSize(corpus), restores ? "yes" : "NO");
}

// A disk image's shape: each 4 MiB holds 1 MiB of `source` and 3 MiB of zeros.
void BuildImage(const std::string& source, const std::string& out) {
  std::ifstream is(source, std::ios::binary);
  std::ofstream os(out, std::ios::binary | std::ios::trunc);
  std::vector<char> data(kMiB);
  const std::vector<char> zeros(3 * kMiB);
  for (uint64_t done = 0; done < kCorpusSize; done += 4 * kMiB) {
    is.read(data.data(), static_cast<std::streamsize>(data.size()));
    os.write(data.data(), is.gcount());
    os.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }
}

void BenchMemory(const std::string& self, const std::string& source, const std::string& dir) {
  for (uint64_t mib : {uint64_t{16}, uint64_t{512}}) {
    const std::string input = dir + "/mem" + std::to_string(mib) + ".bin";
    {
      std::ifstream is(source, std::ios::binary);
      std::ofstream os(input, std::ios::binary | std::ios::trunc);
      std::vector<char> block(1 << 20);
      for (uint64_t done = 0; done < mib * kMiB;) {
        if (!is.read(block.data(), static_cast<std::streamsize>(block.size()))) {
          is.clear();
          is.seekg(0);
          if (is.gcount() == 0) continue;
        }
        os.write(block.data(), is.gcount());
        done += static_cast<uint64_t>(is.gcount());
      }
    }
    const long ours = PeakMemoryKiB({self, "--compress-one", input, dir + "/mem.ours.Z"}, "", dir);
    const long theirs = PeakMemoryKiB({"compress", "-c", input}, dir + "/mem.compress.Z", dir);
    std::printf("peak memory compressing %4llu MiB: filter %ld KiB, compress %ld KiB%s\n",
                static_cast<unsigned long long>(mib), ours, theirs,
                ours > 0 && theirs > 0 ? "" : "  (a run FAILED)");
    fs::remove(input);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--compress-one") {
    return CompressWithFilter(argv[2], argv[3]) ? 0 : 1;
  }
  if (argc == 4 && std::string(argv[1]) == "--expand-one") {
    return ExpandWithFilter(argv[2], argv[3]) ? 0 : 1;
  }
  int runs = 5;
  if (argc == 3 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/quiver-lzbench.XXXXXX";
  if (!mkdtemp(dir.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  int rc = 0;
  try {
    const Corpus corpora[] = {
        {"text", {"/usr/share/doc", "/usr/include"}, IsTextFile},
        {"binary", {"/usr/lib/x86_64-linux-gnu"}, IsSharedLibrary},
    };
    std::vector<std::string> paths;
    for (const Corpus& c : corpora) {
      paths.push_back(dir + "/" + c.name + ".bin");
      BuildCorpus(c, paths.back(), kCorpusSize);
    }
    paths.push_back(dir + "/image.bin");
    BuildImage(paths[1], paths.back());
    std::printf("LZ filter vs compress, %d runs each, alternating\n", runs);
    const char* names[] = {corpora[0].name, corpora[1].name, "image"};
    for (size_t i = 0; i < paths.size(); ++i) BenchCorpus(names[i], paths[i], dir, runs);
    BenchMemory(fs::canonical("/proc/self/exe").string(), paths[1], dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quiver_lz_bench: %s\n", e.what());
    rc = 1;
  }
  fs::remove_all(dir);
  return rc;
}
