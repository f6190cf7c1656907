#pragma once
// A class whose objects an archive (framework/Archive.h) stores by name: the
// name and schema number that the stored form holds, the C++ class they
// stand for and the function that makes a default instance to load into.
//
// The stored name is part of the file format: whoever lists the classes
// spells it out, apart from the C++ identifier, so that renaming a class
// cannot change a stored byte. There is no global registry: a reader names
// the classes it accepts in one explicit table.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <typeinfo>

class CObject;

struct CStoredClass {
  std::string_view name;
  uint16_t schema;
  const std::type_info* type;
  std::unique_ptr<CObject> (*create)();

  // The entry of `table` for exactly the class of `object` (a derived class
  // is another class), or null.
  static const CStoredClass* Of(const CObject& object, std::span<const CStoredClass> table);
  // The entry of `table` named exactly `name` (case-sensitive), or null.
  static const CStoredClass* Named(std::string_view name, std::span<const CStoredClass> table);
};

// The entry for class T, which has a default constructor, stored as `name`
// with `schema`.
template <class T>
constexpr CStoredClass StoredClass(std::string_view name, uint16_t schema) {
  return {name, schema, &typeid(T),
          []() -> std::unique_ptr<CObject> { return std::make_unique<T>(); }};
}
