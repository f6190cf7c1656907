// Throughput of the Strong filter against libsodium's secretstream called
// directly on the same data, in memory, so that neither reading nor writing
// files counts: the filter's own cost over the cipher's.
//
// Encrypts 256 MiB of random bytes fed in 8192-byte writes (as a source feeds
// a chain) into a sink that drops them, then decrypts the result the same
// way; the reference seals and opens the same 64 KiB chunks with direct
// calls, dropping the output too. Prints the medians of N runs (default 5) in MB/s of plaintext and
// the ratios.
//
// Usage: quiver_strong_bench [--runs N]

#include "pipeline/StrongCryptFilter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr size_t kBytes = size_t{256} << 20;

// The end of the chain: keeps what passes when asked to, else drops it.
class CKeepFilter : public CFilter {
 public:
  bool Write(const uint8_t* bytes, size_t length) override {
    if (keep) data.insert(data.end(), bytes, bytes + length);
    return true;
  }
  bool keep = false;
  std::vector<uint8_t> data;
};

bool RunFilter(CStrongCryptFilter& filter, bool encode, const std::vector<uint8_t>& in,
               CKeepFilter& out) {
  filter.Reset();
  if (encode) {
    filter.SetEncode();
  } else {
    filter.SetDecode();
  }
  filter.SetNext(&out);
  for (size_t pos = 0; pos < in.size(); pos += CFilter::kBlockSize) {
    if (!filter.Write(in.data() + pos, std::min<size_t>(CFilter::kBlockSize, in.size() - pos))) {
      return false;
    }
  }
  return filter.Close();
}

// The same stream with direct calls on the chunks of `in`, each output into
// one scratch chunk and dropped, as the filter's sink drops it.
bool RunDirect(const CStrongCryptFilter::Key& key, bool encode, const std::vector<uint8_t>& in) {
  constexpr size_t kChunk = CStrongCryptFilter::kChunkSize;
  constexpr size_t kSealed = kChunk + CStrongCryptFilter::kChunkOverhead;
  static uint8_t scratch[kSealed];
  crypto_secretstream_xchacha20poly1305_state state;
  unsigned long long n = 0;
  uint8_t tag = 0;
  if (encode) {
    crypto_secretstream_xchacha20poly1305_init_push(&state, scratch, key.data());
    for (size_t pos = 0; pos < in.size(); pos += kChunk) {
      const size_t len = std::min(kChunk, in.size() - pos);
      const bool last = pos + len == in.size();
      crypto_secretstream_xchacha20poly1305_push(
          &state, scratch, &n, in.data() + pos, len, nullptr, 0,
          last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
    }
    return true;
  }
  if (crypto_secretstream_xchacha20poly1305_init_pull(&state, in.data(), key.data()) != 0) return false;
  for (size_t pos = CStrongCryptFilter::kHeaderSize; pos < in.size(); pos += kSealed) {
    const size_t len = std::min(kSealed, in.size() - pos);
    if (crypto_secretstream_xchacha20poly1305_pull(&state, scratch, &n, &tag, in.data() + pos, len,
                                                   nullptr, 0) != 0) {
      return false;
    }
  }
  return true;
}

double CpuSeconds(const std::function<bool()>& run) {
  const std::clock_t start = std::clock();
  if (!run()) {
    std::fprintf(stderr, "quiver_strong_bench: a run failed\n");
    std::exit(1);
  }
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

double MedianMBs(std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  return static_cast<double>(kBytes) / 1048576 / seconds[seconds.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
  std::vector<uint8_t> plain(kBytes);
  randombytes_buf(plain.data(), plain.size());
  CStrongCryptFilter filter;
  CKeepFilter sealed;
  sealed.keep = true;
  if (!RunFilter(filter, true, plain, sealed)) return 1;

  std::vector<double> fe, fd, de, dd;
  for (int i = 0; i < runs; ++i) {
    CKeepFilter drop;
    fe.push_back(CpuSeconds([&] { return RunFilter(filter, true, plain, drop); }));
    de.push_back(CpuSeconds([&] { return RunDirect(filter.GetKey(), true, plain); }));
    fd.push_back(CpuSeconds([&] { return RunFilter(filter, false, sealed.data, drop); }));
    dd.push_back(CpuSeconds([&] { return RunDirect(filter.GetKey(), false, sealed.data); }));
  }
  std::printf("Strong filter against direct libsodium calls, 256 MiB in memory, CPU time, "
              "median of %d\n", runs);
  std::printf("%-8s %12s %12s %14s\n", "", "filter MB/s", "direct MB/s", "direct/filter");
  std::printf("%-8s %12.0f %12.0f %14.2f\n", "encrypt", MedianMBs(fe), MedianMBs(de),
              MedianMBs(de) / MedianMBs(fe));
  std::printf("%-8s %12.0f %12.0f %14.2f\n", "decrypt", MedianMBs(fd), MedianMBs(dd),
              MedianMBs(dd) / MedianMBs(fd));
  return 0;
}
