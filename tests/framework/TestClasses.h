#pragma once
// Small stored classes for the framework tests.

#include "framework/Archive.h"
#include "framework/Object.h"
#include "framework/StoredClass.h"

#include <array>
#include <string>

// One 32-bit field, schema 1.
class CTestRecord : public CObject {
 public:
  CTestRecord() = default;
  explicit CTestRecord(uint32_t v) : value(v) {}
  void Serialize(CArchive& archive) override {
    if (archive.IsStoring()) {
      archive << value;
    } else {
      archive >> value;
    }
  }
  uint32_t value = 0;
};

// One counted string, schema 1.
class CTestNote : public CObject {
 public:
  CTestNote() = default;
  explicit CTestNote(std::string t) : text(std::move(t)) {}
  void Serialize(CArchive& archive) override {
    if (archive.IsStoring()) {
      archive << text;
    } else {
      archive >> text;
    }
  }
  std::string text;
};

// Derived from CTestRecord, schema 2, no fields of its own.
class CTestVersioned : public CTestRecord {
 public:
  void Serialize(CArchive&) override {}
};

// Every class above, stored under its own name.
extern const std::array<CStoredClass, 3> kTestClasses;
