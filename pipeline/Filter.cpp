#include "pipeline/Filter.h"

CFilter::CFilter(CFilter* next) {
  CFilter::SetNext(next);
  CFilter::SetEncode();
}

CFilter::~CFilter() = default;

bool CFilter::Write(const uint8_t* bytes, size_t length) {
  if (!m_next) return true;
  return m_next->Write(bytes, length);
}

bool CFilter::PutByte(uint8_t byte) { return Write(&byte, 1); }

bool CFilter::Close() {
  if (!m_next) return true;
  const bool ok = m_next->Close();
  m_next = nullptr;
  return ok;
}

bool CFilter::Run() { return Close(); }

void CFilter::Reset() {}

void CFilter::SetNext(CFilter* next) { m_next = next; }

void CFilter::SetEncode() { m_encoding = true; }

void CFilter::SetDecode() { m_encoding = false; }

bool CFilter::IsSource() const { return false; }

std::string CFilter::GetDescription() const { return ""; }
