#pragma once
// The busy cursor over every window of the program for as long as an
// instance lives (nested instances stack).

class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};
