#include "WFCntl.h"

#include <new>

namespace gannet {

CWFCntl* CWFCntl::Get() {
  static CWFCntl* control = new (std::nothrow) CWFCntl;
  return control;
}

intptr_t CWFCntl::Initialise() {
  m_slots.fill(Registration());
  return 0;
}

int32_t CWFCntl::Attach(const void* owner, int32_t key, int32_t cookie) {
  for (Registration& r : m_slots) {
    if (!r.owner) {
      r = Registration{key, owner, cookie};
      return 0;
    }
  }
  return -1;
}

int32_t CWFCntl::Detach(int32_t, const void* owner) {
  for (Registration& r : m_slots) {
    if (r.owner == owner) r = Registration();
  }
  return 0;
}

}  // namespace gannet
