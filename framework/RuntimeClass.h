#pragma once
// The class record of a class whose objects can be stored and made again by
// name: its name, its schema number, its base class and the function that
// makes a default instance.
//
// Records are plain aggregates, constant-initialised, so they are usable
// before main. The registry that finds a record by name is built on first use,
// whatever the order of static initialisation: a class registers its record
// from its own source file with CRuntimeClass::Register.

#include <cstdint>
#include <memory>
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

  // True when this class is `base` or derives from it.
  bool IsDerivedFrom(const CRuntimeClass& base) const;

  // The registered record named exactly `name` (case-sensitive), or null.
  static const CRuntimeClass* FromName(std::string_view name);

  // Adds `record` to the registry. Returns false, leaving the registry as it
  // was, when another record already holds that name.
  static bool Register(const CRuntimeClass& record);
};

// The creation function of a class with a default constructor.
template <class T>
CObject* CreateDefaultObject() {
  return new T;
}
