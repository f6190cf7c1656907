#include "framework/RuntimeClass.h"

#include "framework/Object.h"

#include <map>
#include <string>

namespace {

// Built on first use, so registering from any static initialiser is safe.
std::map<std::string, const CRuntimeClass*, std::less<>>& Registry() {
  static std::map<std::string, const CRuntimeClass*, std::less<>> registry;
  return registry;
}

}  // namespace

std::unique_ptr<CObject> CRuntimeClass::CreateObject() const {
  if (!createObject) return nullptr;
  return std::unique_ptr<CObject>(createObject());
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass& base) const {
  for (const CRuntimeClass* cls = this; cls; cls = cls->baseClass) {
    if (cls == &base) return true;
  }
  return false;
}

const CRuntimeClass* CRuntimeClass::FromName(std::string_view name) {
  const auto& registry = Registry();
  const auto it = registry.find(name);
  return it == registry.end() ? nullptr : it->second;
}

bool CRuntimeClass::Register(const CRuntimeClass& record) {
  return Registry().emplace(record.className, &record).second;
}
