#include "framework/StoredClass.h"

#include "framework/Object.h"

#include <algorithm>

const CStoredClass* CStoredClass::Of(const CObject& object, std::span<const CStoredClass> table) {
  const std::type_info& type = typeid(object);
  const auto it = std::find_if(table.begin(), table.end(),
                               [&](const CStoredClass& c) { return *c.type == type; });
  return it == table.end() ? nullptr : &*it;
}

const CStoredClass* CStoredClass::Named(std::string_view name,
                                        std::span<const CStoredClass> table) {
  const auto it = std::find_if(table.begin(), table.end(),
                               [&](const CStoredClass& c) { return c.name == name; });
  return it == table.end() ? nullptr : &*it;
}
