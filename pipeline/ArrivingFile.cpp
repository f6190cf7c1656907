#include "pipeline/ArrivingFile.h"

void CArrivingFile::Arrived(const std::string& name, uint64_t final) {
  {
    std::lock_guard lock(m_mutex);
    if (m_void || final <= m_final) return;
    m_name = name;
    m_final = final;
  }
  m_changed.notify_all();
}

void CArrivingFile::Complete(const std::string& name, uint64_t length) {
  {
    std::lock_guard lock(m_mutex);
    if (m_void) return;
    m_name = name;
    m_final = length;
    m_whole = true;
  }
  m_changed.notify_all();
}

void CArrivingFile::Abandon() {
  {
    std::lock_guard lock(m_mutex);
    m_void = true;
  }
  m_changed.notify_all();
}

CArrivingFile::State CArrivingFile::Await() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_void || m_whole || m_final > m_taken; });
  if (m_void) return State::kVoid;
  if (!m_whole) return State::kMore;
  // A read that began before the file was whole may have missed its last
  // bytes; the first read after it finds the true end.
  if (m_endChecked) return State::kEnd;
  m_endChecked = true;
  return State::kMore;
}

CArrivingFile::State CArrivingFile::Took(uint64_t count) {
  std::lock_guard lock(m_mutex);
  m_taken += count;
  return m_void ? State::kVoid : State::kMore;
}

void CArrivingFile::GiveUp() {
  std::lock_guard lock(m_mutex);
  m_givenUp = true;
}

bool CArrivingFile::GivenUp() const {
  std::lock_guard lock(m_mutex);
  return m_givenUp;
}

std::string CArrivingFile::Name() const {
  std::lock_guard lock(m_mutex);
  return m_name;
}

uint64_t CArrivingFile::Taken() const {
  std::lock_guard lock(m_mutex);
  return m_taken;
}

bool CArrivingFile::Abandoned() const {
  std::lock_guard lock(m_mutex);
  return m_void;
}
