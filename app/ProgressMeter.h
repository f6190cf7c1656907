#pragma once
// The texts that show a long send or fetch to the user, from the figures of
// its CProgress (pipeline/Progress.h) sampled over time: the amount done,
// the rate since the current stage began, and the time left.

#include "pipeline/Progress.h"

#include <cstdint>
#include <string>

class CProgressMeter {
 public:
  explicit CProgressMeter(const CProgress& progress) : m_progress(progress) {}

  // Takes the progress's figures at `seconds` since the work began.
  void Update(double seconds);

  // "1.5 MB of 300.0 MB", or "1.5 MB" while the total is unknown.
  std::string Amount() const;
  // "45.6 MB/s"; "" until the stage has run a little while.
  std::string Rate() const;
  // "6 s left" or "3 min left"; "" while it cannot be told.
  std::string TimeLeft() const;
  // The whole picture on one line: "Sending a.bin: 1.5 MB of 3.0 MB,
  // 45.6 MB/s, 1 s left" (the parts that are known).
  std::string Line() const;
  // Per mille of the total done; -1 while the total is unknown.
  int PerMille() const;

  // "N bytes" below 1024, else one decimal of KB, MB or GB (steps of 1024):
  // 1536 is "1.5 KB".
  static std::string FormatBytes(int64_t bytes);
  // The exact count with FormatBytes beside it: "200000000 bytes (190.7 MB)";
  // below 1024 the count alone, "512 bytes".
  static std::string FormatByteCount(int64_t bytes);

 private:
  const CProgress& m_progress;
  ProgressStage m_stage = ProgressStage::Sending;
  double m_stageStart = 0;
  double m_seconds = 0;
  int64_t m_done = 0;
  int64_t m_total = -1;
  double m_rate = 0;
};
