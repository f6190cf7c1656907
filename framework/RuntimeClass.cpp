#include "framework/RuntimeClass.h"

#include "framework/Object.h"

#include <algorithm>

std::unique_ptr<CObject> CRuntimeClass::CreateObject() const {
  if (!createObject) return nullptr;
  return std::unique_ptr<CObject>(createObject());
}

const CRuntimeClass* CRuntimeClass::FromName(std::string_view name,
                                             std::span<const CRuntimeClass* const> classes) {
  const auto it = std::find_if(classes.begin(), classes.end(),
                               [&](const CRuntimeClass* c) { return c->className == name; });
  return it == classes.end() ? nullptr : *it;
}
