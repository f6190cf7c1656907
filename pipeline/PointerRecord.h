#pragma once
// What a pointer file (".qvr") holds: the URL of a published file, the size
// of the file before encoding and the transforms applied to it (in encoding
// order, owned). The desktop's pointer document and the receive page read
// and describe it with this one class.
//
// Its file form is little-endian: the bytes 05 6C 72 75, the size (32 bits,
// the byte count modulo 2^32), the URL as a counted string without control
// bytes, then the filters as a counted list of class-tagged objects. Reading
// accepts nothing but an ordered selection of the transform filters (LZ,
// then the Simple pair or the Strong filter), so a pointer file from anyone
// never makes the program build other filters or allocate much more than
// the file's size.

#include "framework/Object.h"
#include "framework/StoredClass.h"
#include "pipeline/Filter.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class CFileHandle;

class CPointerRecord : public CObject {
 public:
  using FilterList = std::vector<std::unique_ptr<CFilter>>;

  // The URL a damaged record leaves.
  static constexpr char kBadFormat[] = "Bad File Format!";
  // Why a decoded file whose byte count differs from the stored size is
  // refused.
  static constexpr char kChangedSizeDetail[] =
      "It does not have the size the pointer file gives: it was changed or replaced since it "
      "was sent.";

  // The transforms a pointer file stores, with the names and schema numbers
  // of its format, in the only order a chain holds them.
  static std::span<const CStoredClass> StoredTransforms();

  CPointerRecord();
  ~CPointerRecord() override;
  // Stores or loads the whole record; throws CArchiveException.
  void Serialize(CArchive& archive) override;
  // Replaces URL, size and filters by the record read from `file` at its
  // position. Returns 0, or ERROR_INVALID_DATA with the URL kBadFormat and no
  // filters for damaged bytes, or the system's code of a failing read.
  uint32_t Load(CFileHandle& file);

  std::string GetUrl() const { return m_url; }
  // "Strong (XChaCha20-Poly1305)", "Simple" or "None".
  std::string GetEncryptionDescription() const;
  // The LZ filter's description, else "None: N bytes", else "None".
  std::string GetCompressionDescription() const;
  // What a decoding that failed with `code` means beyond the system's
  // message: a Strong file that does not authenticate was damaged or
  // altered. Empty for anything else.
  std::string DecodingFailureDetail(uint32_t code);
  // Appends `filter`; the record owns it.
  void AddFilter(std::unique_ptr<CFilter> filter);
  // The first filter of exactly class T, or null.
  template <class T>
  T* FindFilter() const {
    for (const auto& filter : m_filters) {
      if (filter && filter->Is<T>()) return static_cast<T*>(filter.get());
    }
    return nullptr;
  }
  void DeleteFilters(FilterList& list);

  uint32_t GetSize() const { return m_size; }
  const FilterList& GetFilters() const { return m_filters; }
  void SetUrl(const std::string& url) { m_url = url; }
  void SetSize(uint32_t size) { m_size = size; }

 protected:
  FilterList& Filters() { return m_filters; }

 private:
  void LoadFilters(CArchive& archive);

  std::string m_url;
  FilterList m_filters;
  uint32_t m_size = 0;
};
