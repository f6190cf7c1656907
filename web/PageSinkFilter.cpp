#include "web/PageSinkFilter.h"

#include "web/PageImports.h"

bool CPageSinkFilter::Write(const uint8_t* bytes, size_t length) {
  m_count += length;
  if (length > 0) quiver_deliver(bytes, length);
  return true;
}
