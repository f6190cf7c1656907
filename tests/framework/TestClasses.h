#pragma once
// Small stored classes for the framework tests.

#include "framework/Archive.h"
#include "framework/Object.h"

#include <string>

// One 32-bit field, schema 1.
class CTestRecord : public CObject {
 public:
  static const CRuntimeClass RuntimeClass;
  CTestRecord() = default;
  explicit CTestRecord(uint32_t v) : value(v) {}
  const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass; }
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
  static const CRuntimeClass RuntimeClass;
  CTestNote() = default;
  explicit CTestNote(std::string t) : text(std::move(t)) {}
  const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass; }
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
  static const CRuntimeClass RuntimeClass;
  const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass; }
  void Serialize(CArchive&) override {}
};

// Known, but never made by name.
class CTestShape : public CObject {
 public:
  static const CRuntimeClass RuntimeClass;
  const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass; }
};

// Every class above, for lookups by name.
extern const CRuntimeClass* const kTestClasses[4];
