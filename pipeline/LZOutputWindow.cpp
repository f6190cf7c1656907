#include "pipeline/LZOutputWindow.h"

#include <new>

bool CLZOutputWindow::Allocate() {
  // 16 bytes more: the wide copy's overrun at the very end.
  if (!m_buffer) m_buffer.reset(new (std::nothrow) uint8_t[kCapacity + 16]());
  return m_buffer != nullptr;
}

void CLZOutputWindow::Start() {
  m_base = 0;
  m_fill = 0;
  m_taken = 0;
}

std::span<const uint8_t> CLZOutputWindow::TakeUnflushed() {
  const std::span<const uint8_t> bytes(m_buffer.get() + m_taken, m_fill - m_taken);
  m_taken = m_fill;
  return bytes;
}

void CLZOutputWindow::Slide() {
  if (m_fill <= kSpan) return;
  const size_t dropped = m_fill - kSpan;
  std::memmove(m_buffer.get(), m_buffer.get() + dropped, kSpan);
  m_base += dropped;
  m_fill = kSpan;
  m_taken -= dropped;
}
