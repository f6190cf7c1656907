#include "ThreadedLookup.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace gannet {

namespace {

// What the lookup thread hands over; the last of the two to let go of it
// frees it, so an abandoned lookup cleans up after itself.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  int result = EAI_SYSTEM;
  int error = 0;
  addrinfo* list = nullptr;
  ~Lookup() {
    if (list) freeaddrinfo(list);
  }
};

}  // namespace

int ThreadedLookup(const std::string& host, const std::string& port, const addrinfo& hints,
                   int sliceMs, const std::function<bool()>& goOn, addrinfo** found, int* error) {
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, host, port, hints] {
      addrinfo* list = nullptr;
      const int answer = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
      const int cause = errno;
      const std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->result = answer;
      lookup->error = cause;
      lookup->list = list;
      lookup->finished = true;
      lookup->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    const int result = getaddrinfo(host.c_str(), port.c_str(), &hints, found);
    *error = errno;
    return result;
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->done.wait_for(lock, std::chrono::milliseconds(sliceMs),
                                [&] { return lookup->finished; })) {
    lock.unlock();
    const bool going = goOn();
    lock.lock();
    if (!going) {
      *error = EINTR;
      return EAI_SYSTEM;
    }
  }
  *found = std::exchange(lookup->list, nullptr);
  *error = lookup->error;
  return lookup->result;
}

}  // namespace gannet
