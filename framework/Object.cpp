#include "framework/Object.h"

constinit const CRuntimeClass CObject::RuntimeClass = {"CObject", 0xFFFF, nullptr, nullptr};

const CRuntimeClass& CObject::GetRuntimeClass() const { return RuntimeClass; }

CObject::~CObject() = default;

void CObject::Serialize(CArchive&) {}
