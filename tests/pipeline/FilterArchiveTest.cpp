// The stored transforms by name, and their stored form.

#include "PipelineTestSupport.h"
#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/PointerRecord.h"
#include "pipeline/SimpleCryptFilter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::span<const CStoredClass> kTransforms = CPointerRecord::StoredTransforms();

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

TEST(FilterArchiveTest, EveryStoredTransformIsMadeByNameWithSchema1) {
  const ClassCase cases[] = {
      {"CLZCompressFilter", true},
      {"CSimpleCryptFilter", false},
      {"CDumbCryptFilter", false},
      {"CStrongCryptFilter", false},
  };
  ASSERT_EQ(kTransforms.size(), std::size(cases));
  for (const ClassCase& c : cases) {
    const CStoredClass* cls = CStoredClass::Named(c.name, kTransforms);
    ASSERT_NE(cls, nullptr) << c.name;
    EXPECT_EQ(cls->schema, 1) << c.name;
    std::unique_ptr<CObject> made = cls->create();
    ASSERT_TRUE(made) << c.name;
    EXPECT_EQ(CStoredClass::Of(*made, kTransforms), cls) << c.name;
    auto& filter = static_cast<CFilter&>(*made);
    EXPECT_EQ(filter.GetNext(), nullptr) << c.name;
    EXPECT_TRUE(filter.IsEncoding()) << c.name;
    EXPECT_EQ(filter.IsSource(), c.source) << c.name;
  }
}

TEST(FilterArchiveTest, DefaultInstancesBufferWholeBlocks) {
  for (const char* name : {"CSimpleCryptFilter", "CDumbCryptFilter"}) {
    std::unique_ptr<CObject> made = CStoredClass::Named(name, kTransforms)->create();
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
    ar.WriteObject(lz, kTransforms);
    ar.WriteObject(simple, kTransforms);
    ar.WriteObject(dumb, kTransforms);
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
    EXPECT_TRUE(static_cast<CFilter&>(*lzLoaded).Is<CLZCompressFilter>());
    EXPECT_EQ(static_cast<CSimpleCryptFilter&>(*simpleLoaded).GetKey(), simple.GetKey());
    EXPECT_EQ(static_cast<CDumbCryptFilter&>(*dumbLoaded).GetKeyByte(), 0xA5);
    EXPECT_EQ(ar.GetBytesLeft(), 0u);
  });
}

TEST(FilterArchiveTest, LoadedKeysDecodeWhatTheOriginalsEncoded) {
  CSimpleCryptFilter simple;
  CDumbCryptFilter dumb;
  const std::string stored = Store([&](CArchive& ar) {
    ar.WriteObject(simple, kTransforms);
    ar.WriteObject(dumb, kTransforms);
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

TEST(FilterArchiveTest, OtherFilterClassesAreRefused) {
  for (const std::string name : {"CSinkFilter", "CSourceFilter", "CFilter"}) {
    const std::string stored =
        std::string("\xFF\xFF\x01\x00", 4) + static_cast<char>(name.size()) + '\0' + name;
    Load(stored, [&](CArchive& ar) {
      try {
        ar.ReadNewObject(kTransforms);
        FAIL() << name << " was accepted";
      } catch (const CArchiveException& e) {
        EXPECT_EQ(e.GetCause(), CArchiveException::Cause::BadClass) << name;
      }
    });
  }
}

}  // namespace
