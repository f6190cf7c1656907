#pragma once
// The process-wide network event control: a registry in which every web
// object enters its socket. It is created by the first web object and lives
// until the process ends. No events are posted on this platform, so the
// registry is kept for its order of operations and its failure codes.

#include <array>
#include <cstdint>

namespace gannet {

class CWFCntl {
 public:
  static constexpr int kSlots = 16;

  // The control, created on first use; null when it cannot be allocated.
  static CWFCntl* Get();

  // Clears every registration; returns the control's window value, 0 (-1
  // would mean the control cannot work).
  intptr_t Initialise();
  // Takes the first free registration for owner; 0, or -1 when all are taken.
  int32_t Attach(const void* owner, int32_t key, int32_t cookie);
  // Frees the registration held by owner; 0.
  int32_t Detach(int32_t key, const void* owner);

 private:
  CWFCntl() = default;

  struct Registration {
    int32_t key = 0;
    const void* owner = nullptr;  // null marks a free slot
    int32_t cookie = 0;
  };
  std::array<Registration, kSlots> m_slots;
};

}  // namespace gannet
