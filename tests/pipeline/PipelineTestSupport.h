#pragma once
// Helpers of the pipeline tests: runs of the LZ filter over real files, chains
// assembled as the sending and receiving runs assemble them, and an
// independent reader of .Z code streams.

#include "pipeline/Filter.h"
#include "support/CollectFilter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CLZCompressFilter;
class CSourceFilter;
class CStageFilter;

// A new path in the test's folder (nothing is created).
std::string NewTempPath(const std::string& name);
// A new file holding `bytes`; returns its path.
std::string MakeInputFile(const std::string& bytes);
// A new sparse file of `size` zero bytes, held in memory (a memfd) so that
// reading gigabytes of it is cheap; returns a path that opens it.
std::string MakeSparseFile(uint64_t size);

struct LZRun {
  bool ok = false;
  uint32_t error = 0;      // the filter's recorded error
  uint32_t lastError = 0;  // the thread's last error after Run
  std::string output;
  uint64_t bytesIn = 0;
  uint64_t bytesOut = 0;
};
// Runs a CLZCompressFilter over a file holding `input` into a collector: a
// new one, or `filter` after a Reset, as a program runs one file after another.
LZRun RunLZ(const std::string& input, bool encode, CLZCompressFilter* filter = nullptr);

// The sending run: source file -> filters (encoding) -> new output file.
// Filters that are sources read the file themselves when first.
bool EncodeChain(const std::vector<CFilter*>& filters, const std::string& in,
                 const std::string& out);
// A stage in front of `source`: a new file without a name, which the source
// reads while the stage writes it.
std::unique_ptr<CStageFilter> Stage(CSourceFilter& source);
// The receiving run: source file -> filters in list order (decoding) ->
// output file; a filter that is a source reads from a stage that the
// filters before it fill.
bool DecodeChain(const std::vector<CFilter*>& filters, const std::string& in,
                 const std::string& out);

// One code of a .Z stream as compress's reader sees it.
struct ZCode {
  uint32_t code;
  int width;
  uint64_t bitPos;      // from the start of the stream
  uint64_t groupStart;  // bit position of the group holding it
  uint64_t decoded;     // expanded bytes after this code
};
struct ZStream {
  bool valid = false;
  int maxBits = 0;
  bool blockMode = false;
  std::vector<ZCode> codes;
  std::string expanded;
};
// Reads a .Z stream with the rules of the classic reader (groups of eight
// codes, the rest of a group skipped on a width change and on CLEAR).
ZStream ParseZ(const std::string& stream);
