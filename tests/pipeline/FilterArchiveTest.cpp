// Filter classes by name, and the stored form of the transform filters.

#include "PipelineTestSupport.h"
#include "framework/Archive.h"
#include "pipeline/BufferedSourceFilter.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/SinkFilter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const CRuntimeClass* const kTransforms[] = {&CLZCompressFilter::RuntimeClass,
                                            &CSimpleCryptFilter::RuntimeClass,
                                            &CDumbCryptFilter::RuntimeClass};

const CRuntimeClass* const kFilterClasses[] = {
    &CFilter::RuntimeClass,           &CBufferFilter::RuntimeClass,
    &CHandleFilter::RuntimeClass,     &CSourceFilter::RuntimeClass,
    &CBufferedSourceFilter::RuntimeClass, &CSinkFilter::RuntimeClass,
    &CLZCompressFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass,
    &CDumbCryptFilter::RuntimeClass};

std::string Store(const std::function<void(CArchive&)>& body) {
  const std::string path = NewTempPath("stored");
  CFileHandle file;
  EXPECT_TRUE(file.CreateNew(path, FileShare::None));
  CArchive archive(file, CArchive::Mode::Store);
  body(archive);
  archive.Close();
  return testing_support::ReadFile(path);
}

void Load(const std::string& bytes, const std::function<void(CArchive&)>& body) {
  CFileHandle file;
  ASSERT_TRUE(file.OpenForReading(MakeInputFile(bytes), FileShare::None));
  CArchive archive(file, CArchive::Mode::Load);
  body(archive);
}

struct ClassCase {
  const char* name;
  bool source;
};

TEST(FilterArchiveTest, EveryFilterClassIsMadeByNameWithSchema1) {
  const ClassCase cases[] = {
      {"CFilter", false},           {"CBufferFilter", false},        {"CHandleFilter", false},
      {"CSourceFilter", true},      {"CBufferedSourceFilter", true}, {"CSinkFilter", false},
      {"CLZCompressFilter", true},  {"CSimpleCryptFilter", false},   {"CDumbCryptFilter", false},
  };
  for (const ClassCase& c : cases) {
    const CRuntimeClass* cls = CRuntimeClass::FromName(c.name, kFilterClasses);
    ASSERT_NE(cls, nullptr) << c.name;
    EXPECT_EQ(cls->schema, 1) << c.name;
    std::unique_ptr<CObject> made = cls->CreateObject();
    ASSERT_TRUE(made) << c.name;
    EXPECT_EQ(&made->GetRuntimeClass(), cls) << c.name;
    auto& filter = static_cast<CFilter&>(*made);
    EXPECT_EQ(filter.GetNext(), nullptr) << c.name;
    EXPECT_TRUE(filter.IsEncoding()) << c.name;
    EXPECT_EQ(filter.IsSource(), c.source) << c.name;
  }
}

TEST(FilterArchiveTest, DefaultInstancesBufferWholeBlocks) {
  for (const char* name : {"CBufferFilter", "CSimpleCryptFilter", "CDumbCryptFilter"}) {
    std::unique_ptr<CObject> made = CRuntimeClass::FromName(name, kFilterClasses)->CreateObject();
    auto& filter = static_cast<CBufferFilter&>(*made);
    CCollectFilter end;
    filter.SetNext(&end);
    const size_t block = CFilter::kBlockSize;
    const std::string input(block + 1808, 'k');
    ASSERT_TRUE(filter.Write(reinterpret_cast<const uint8_t*>(input.data()), input.size()));
    ASSERT_TRUE(filter.Close());
    EXPECT_EQ(end.writeSizes, (std::vector<size_t>{block, 1808})) << name;
  }
}

TEST(FilterArchiveTest, TransformListHasTheStoredLayout) {
  CLZCompressFilter lz;
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  simple.SetKey(std::string("k\0y\xFF" "0123456", 11));
  dumb.SetKeyByte(0xA5);
  const std::string stored = Store([&](CArchive& ar) {
    ar.WriteCount(3);
    ar.WriteObject(lz);
    ar.WriteObject(simple);
    ar.WriteObject(dumb);
  });
  const std::string expected =
      std::string("\x03\x00", 2) + std::string("\xFF\xFF\x01\x00\x11\x00", 6) +
      "CLZCompressFilter" + std::string(8, '\0') + std::string("\xFF\xFF\x01\x00\x12\x00", 6) +
      "CSimpleCryptFilter" + "\x0B" + simple.GetKey() +
      std::string("\xFF\xFF\x01\x00\x10\x00", 6) + "CDumbCryptFilter" + "\xA5";
  EXPECT_EQ(stored, expected);
  // 31 bytes for the LZ object, 25 + K for the Simple one, 23 for the Dumb one.
  EXPECT_EQ(stored.size(), 2u + 31 + 25 + 11 + 23);

  Load(stored, [&](CArchive& ar) {
    ASSERT_EQ(ar.ReadCount(2), 3u);
    auto lzLoaded = ar.ReadNewObject(kTransforms);
    auto simpleLoaded = ar.ReadNewObject(kTransforms);
    auto dumbLoaded = ar.ReadNewObject(kTransforms);
    EXPECT_EQ(&lzLoaded->GetRuntimeClass(), &CLZCompressFilter::RuntimeClass);
    EXPECT_EQ(static_cast<CSimpleCryptFilter&>(*simpleLoaded).GetKey(), simple.GetKey());
    EXPECT_EQ(static_cast<CDumbCryptFilter&>(*dumbLoaded).GetKeyByte(), 0xA5);
    EXPECT_EQ(ar.GetBytesLeft(), 0u);
  });
}

TEST(FilterArchiveTest, LoadedKeysDecodeWhatTheOriginalsEncoded) {
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  const std::string stored = Store([&](CArchive& ar) {
    ar.WriteObject(simple);
    ar.WriteObject(dumb);
  });
  std::unique_ptr<CObject> simpleLoaded;
  std::unique_ptr<CObject> dumbLoaded;
  Load(stored, [&](CArchive& ar) {
    simpleLoaded = ar.ReadNewObject(kTransforms);
    dumbLoaded = ar.ReadNewObject(kTransforms);
  });
  const std::string input = testing_support::RandomBytes(5000, 12);
  const std::string encoded = NewTempPath("encoded");
  const std::string decoded = NewTempPath("decoded");
  ASSERT_TRUE(EncodeChain({&simple, &dumb}, MakeInputFile(input), encoded));
  ASSERT_TRUE(DecodeChain({static_cast<CFilter*>(simpleLoaded.get()),
                           static_cast<CFilter*>(dumbLoaded.get())},
                          encoded, decoded));
  EXPECT_TRUE(testing_support::ReadFile(decoded) == input);
}

TEST(FilterArchiveTest, OtherFilterClassesCanBeRefused) {
  CSinkFilter sink;
  const std::string stored = Store([&](CArchive& ar) { ar.WriteObject(sink); });
  EXPECT_EQ(stored, std::string("\xFF\xFF\x01\x00\x0B\x00", 6) + "CSinkFilter");
  Load(stored, [](CArchive& ar) {
    try {
      ar.ReadNewObject(kTransforms);
      FAIL() << "a sink was accepted";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.GetCause(), CArchiveException::Cause::BadClass);
    }
  });
}

}  // namespace
