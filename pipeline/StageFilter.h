#pragma once
// A file between two parts of a chain: the part in front writes it, and the
// source behind it reads it on a thread of its own while it is written, so
// that both parts run at once. The stage tells the source's reads how far
// the file is written (CArrivingFile); its Close waits for the source.
//
// The source's thread runs under the progress of the thread that makes the
// stage (pipeline/Progress.h), for its cancel only: the data it reads was
// counted in front of the stage.

#include "pipeline/ArrivingFile.h"
#include "pipeline/ReadingThread.h"
#include "pipeline/SinkFilter.h"

#include <memory>
#include <string>

class CSourceFilter;

class CStageFilter : public CSinkFilter {
 public:
  // Writes into `file`, which `source` must have open for reading through a
  // handle of its own, and starts `source`'s Run, which waits for what is
  // written.
  CStageFilter(std::unique_ptr<CFileHandle> file, CSourceFilter& source);
  // The stage in front of `source` on `file`, just created at `path`: the
  // source opens the file for itself and the name is removed at once, so the
  // file goes with the last handle. Null when the source cannot open it; the
  // thread's last error tells why.
  static std::unique_ptr<CStageFilter> InFrontOf(CSourceFilter& source,
                                                 std::unique_ptr<CFileHandle> file,
                                                 const std::string& path);
  // Unless closed: abandons the file, which ends the source's run, and waits
  // for it.
  ~CStageFilter() override;
  CStageFilter(const CStageFilter&) = delete;
  CStageFilter& operator=(const CStageFilter&) = delete;

  // Writes as CSinkFilter does, then lets the source read the bytes.
  bool Write(const uint8_t* bytes, size_t length) override;
  // Ends the file (abandons it when a write failed), waits for the source's
  // run and returns its result, with its failure as the thread's last error.
  bool Close() override;

 private:
  bool Finish(bool whole);

  CSourceFilter& m_source;
  CArrivingFile m_arrival;
  bool m_ran = false;
  uint32_t m_sourceError = 0;
  CReadingThread m_reading;  // last: its thread uses the members above
};
