#pragma once
// The root of every class whose objects an archive stores (framework/Archive.h,
// framework/StoredClass.h).

class CArchive;

class CObject {
 public:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  virtual ~CObject();
  // Stores or loads the object's own fields, as the archive's direction says.
  // Stores nothing here. Failures throw CArchiveException.
  virtual void Serialize(CArchive& archive);

 protected:
  CObject() = default;
};
