#pragma once
// The base of every filter: one link of a chain that carries a file's bytes
// from a source through transforms to a sink, block by block.
//
// Filters are linked by a non-owning `next`; deleting a filter never deletes
// the filter after it. Every Write, PutByte, Close and Run returns true for
// success and false for failure; a plain filter records nothing itself (the
// handle filters keep system error codes, pipeline/HandleFilter.h).
//
// A chain runs once per linking: every filter is Reset, directed with
// SetEncode or SetDecode and linked with SetNext; the head source's Run
// writes all data and then closes; Close travels down the chain, each filter
// finishing its own output, closing `next` and forgetting it.

#include "framework/Object.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>

class CFilter : public CObject {
 public:
  // The block size of every buffer the system makes: large enough that a
  // file moves in few system calls, small enough that a cancel is seen at
  // once between two blocks.
  static constexpr int32_t kBlockSize = 256 * 1024;

  // Links `next` (may be null) and selects the forward direction.
  explicit CFilter(CFilter* next = nullptr);
  ~CFilter() override;

  // Passes the block to `next`; true without `next`. A zero-length write is
  // legal and passed on.
  virtual bool Write(const uint8_t* bytes, size_t length);
  // This filter's own Write of the one byte.
  virtual bool PutByte(uint8_t byte);
  // Closes `next` and unlinks it; true without `next`.
  virtual bool Close();
  // Produces the filter's data; here only this filter's own Close. Sources
  // pump their input.
  virtual bool Run();
  // Clears per-run state; here nothing.
  virtual void Reset();
  virtual void SetNext(CFilter* next);
  virtual void SetEncode();
  virtual void SetDecode();
  virtual bool IsEncoding() const { return m_encoding; }
  // True for the classes that read their input from a file themselves.
  virtual bool IsSource() const;
  // What the user is shown of the filter; empty here, for filters that are
  // never shown.
  virtual std::string GetDescription() const;

  CFilter* GetNext() const { return m_next; }
  // True when the filter is exactly of class T, not of a class derived from T.
  template <class T>
  bool Is() const {
    return typeid(*this) == typeid(T);
  }

 private:
  CFilter* m_next = nullptr;
  bool m_encoding = true;
};
