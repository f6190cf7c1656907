#pragma once
// A file that one thread writes while another reads it from the start: the
// writer tells how many of its first bytes are final, and at the end that
// the file is whole or that what it told is void (the writing started over
// or failed); the reader may tell that it gave up. One reader at a time; a
// handle filter follows an arriving file with CHandleFilter::Follow.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

class CArrivingFile {
 public:
  enum class State {
    kMore,  // bytes past the reader's position are final
    kEnd,   // the file is whole and a read since then found its end
    kVoid,  // abandoned: what was read is void and nothing more comes
  };

  // Writer: the file `name` holds its first `final` bytes. The name stays
  // the same from the first call on. Ignored once the file is abandoned.
  void Arrived(const std::string& name, uint64_t final);
  // Writer: the file `name` is whole at `length` bytes. Ignored once the
  // file is abandoned.
  void Complete(const std::string& name, uint64_t length);
  // Writer: what was told is void; the reader's waits and reads fail.
  void Abandon();

  // Reader, after a read found no more bytes: waits until bytes past its
  // position are final, the file is whole, or it is abandoned. kMore asks
  // for another read. The name is known once this returns kMore or kEnd.
  State Await();
  // Reader: took `count` more bytes. kVoid when the file was abandoned, so
  // that bytes read after a start over are never taken for the old ones.
  State Took(uint64_t count);

  // Reader: stops reading for a reason of its own, so that the writer may
  // stop writing.
  void GiveUp();
  bool GivenUp() const;

  std::string Name() const;
  // Bytes the reader has taken so far; any thread.
  uint64_t Taken() const;
  bool Abandoned() const;

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_name;
  uint64_t m_final = 0;
  uint64_t m_taken = 0;
  bool m_whole = false;
  bool m_void = false;
  bool m_givenUp = false;
  bool m_endChecked = false;  // a read was asked for after the file was whole
};
