#pragma once
// The class record of a class whose objects can be stored and made again by
// name: its name, its schema number, its base class and the function that
// makes a default instance.
//
// Records are plain aggregates, constant-initialised, so they are usable
// before main. There is no global registry: whoever makes objects by name
// (the reader of a stored file) names the classes it accepts in one explicit
// list and looks them up there.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

class CObject;

struct CRuntimeClass {
  const char* className;
  uint16_t schema;
  // Makes a default instance; null for classes that are never made by name.
  CObject* (*createObject)();
  // The record of the base class; null for the root class.
  const CRuntimeClass* baseClass;

  // A new default instance, or null when the class has no creation function.
  std::unique_ptr<CObject> CreateObject() const;

  // The record among `classes` named exactly `name` (case-sensitive), or null.
  static const CRuntimeClass* FromName(std::string_view name,
                                       std::span<const CRuntimeClass* const> classes);
};

// The creation function of a class with a default constructor.
template <class T>
CObject* CreateDefaultObject() {
  return new T;
}

// Inside a class body: the class's record and the override that returns it.
#define DECLARE_RUNTIME_CLASS()             \
 public:                                    \
  static const CRuntimeClass RuntimeClass;  \
  const CRuntimeClass& GetRuntimeClass() const override

// In the class's source file: the record of `cls`, made by name with its
// default constructor, derived from `base`, stored with `schema`.
#define IMPLEMENT_RUNTIME_CLASS(cls, base, schema)                                              \
  constinit const CRuntimeClass cls::RuntimeClass = {#cls, schema, &CreateDefaultObject<cls>,   \
                                                     &base::RuntimeClass};                      \
  const CRuntimeClass& cls::GetRuntimeClass() const { return RuntimeClass; }
