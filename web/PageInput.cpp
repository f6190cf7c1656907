#include "web/PageInput.h"

#include "platform/SystemError.h"
#include "web/PageImports.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// Network chunks are taken at most this large: enough for few calls across
// to the page, small enough that the page's memory stays bounded.
constexpr size_t kChunkCapacity = 256 * 1024;

CPageInput* g_current = nullptr;

}  // namespace

CPageInput::CPageInput() : m_chunk(kChunkCapacity) {
  // The handle only needs a descriptor of its own for Behind to know it by;
  // every read of it comes here instead of reaching the file.
  if (!m_handle.OpenForReading("/dev/null", FileShare::ReadWrite)) {
    throw std::runtime_error("the page's input has no descriptor");
  }
  g_current = this;
}

CPageInput::~CPageInput() { g_current = nullptr; }

CPageInput* CPageInput::Behind(int fd) {
  return g_current && g_current->m_handle.Descriptor() == fd ? g_current : nullptr;
}

void CPageInput::Start(CFilter* head) {
  m_head = head;
  m_held.clear();
  m_taken = 0;
  m_closed = false;
}

CPageInput::Step CPageInput::Pump() {
  const int count = quiver_next_chunk(m_chunk.data(), m_chunk.size());
  if (count < 0) {
    SetLastError(ERROR_UNEXP_NET_ERR);
    return Step::Failed;
  }
  if (count == 0) return m_head->Close() ? Step::End : Step::Failed;
  return m_head->Write(m_chunk.data(), static_cast<size_t>(count)) ? Step::More : Step::Failed;
}

bool CPageInput::Read(void* buffer, size_t length, size_t& got) {
  got = 0;
  while (m_taken == m_held.size() && !m_closed) {
    m_held.clear();
    m_taken = 0;
    if (Pump() == Step::Failed) return false;
  }
  got = std::min(length, m_held.size() - m_taken);
  std::memcpy(buffer, m_held.data() + m_taken, got);
  m_taken += got;
  return true;
}

bool CPageInput::Write(const uint8_t* bytes, size_t length) {
  m_held.insert(m_held.end(), bytes, bytes + length);
  return true;
}

bool CPageInput::Close() {
  m_closed = true;
  return true;
}
