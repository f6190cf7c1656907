#pragma once
// The root of every class that has a class record (framework/RuntimeClass.h)
// and can store itself in an archive (framework/Archive.h).

#include "framework/RuntimeClass.h"

class CArchive;

class CObject {
 public:
  // The record of the root class itself: never made by name.
  static const CRuntimeClass RuntimeClass;

  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  // The record of the object's own class.
  virtual const CRuntimeClass& GetRuntimeClass() const;
  virtual ~CObject();
  // Stores or loads the object's own fields, as the archive's direction says.
  // Stores nothing here. Failures throw CArchiveException.
  virtual void Serialize(CArchive& archive);

 protected:
  CObject() = default;
};
