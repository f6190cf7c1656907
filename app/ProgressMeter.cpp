#include "app/ProgressMeter.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// A rate taken over less time than this jumps about too much to show.
constexpr double kSettleSeconds = 0.3;

}  // namespace

void CProgressMeter::Update(double seconds) {
  const ProgressStage stage = m_progress.Stage();
  if (stage != m_stage) {
    m_stage = stage;
    m_stageStart = seconds;
    m_rate = 0;
  }
  m_seconds = seconds;
  m_done = m_progress.Done();
  m_total = m_progress.Total();
  const double spent = seconds - m_stageStart;
  if (spent >= kSettleSeconds) m_rate = static_cast<double>(m_done) / spent;
}

std::string CProgressMeter::FormatBytes(int64_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string CProgressMeter::FormatByteCount(int64_t bytes) {
  const std::string count = std::to_string(bytes) + " bytes";
  return bytes < 1024 ? count : count + " (" + FormatBytes(bytes) + ")";
}

std::string CProgressMeter::Amount() const {
  if (m_total < 0) return FormatBytes(m_done);
  return FormatBytes(m_done) + " of " + FormatBytes(m_total);
}

std::string CProgressMeter::Rate() const {
  if (m_rate <= 0) return "";
  return FormatBytes(static_cast<int64_t>(m_rate)) + "/s";
}

std::string CProgressMeter::TimeLeft() const {
  if (m_rate <= 0 || m_total < m_done) return "";
  const auto seconds = static_cast<int64_t>(static_cast<double>(m_total - m_done) / m_rate + 0.5);
  if (seconds < 120) return std::to_string(seconds) + " s left";
  return std::to_string((seconds + 30) / 60) + " min left";
}

std::string CProgressMeter::Line() const {
  std::string line = m_progress.Describe() + ": " + Amount();
  for (const std::string& part : {Rate(), TimeLeft()}) {
    if (!part.empty()) line += ", " + part;
  }
  return line;
}

int CProgressMeter::PerMille() const {
  if (m_total <= 0) return m_total == 0 ? 1000 : -1;
  return static_cast<int>(std::min<int64_t>(m_done, m_total) * 1000 / m_total);
}
