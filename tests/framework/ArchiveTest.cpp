// Byte layout of counted strings, counts and object tags, and the load's
// defence against truncated and hostile files.

#include "ArchiveTestSupport.h"
#include "TestClasses.h"
#include "framework/Object.h"
#include "platform/FileHandle.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Cause = CArchiveException::Cause;

std::string U16(uint16_t v) { return Bytes({v & 0xFF, v >> 8}); }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string ClassDescription(uint16_t schema, const std::string& name) {
  return U16(0xFFFF) + U16(schema) + U16(static_cast<uint16_t>(name.size())) + name;
}

const std::span<const CStoredClass> kRecordAndNote = std::span(kTestClasses).first(2);

struct PrefixCase {
  size_t length;
  std::string prefix;
};

TEST(ArchiveTest, CountedStringPrefixesByLength) {
  const PrefixCase cases[] = {
      {0, Bytes({0x00})},
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {65533, Bytes({0xFF, 0xFD, 0xFF})},
      {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const PrefixCase& c : cases) {
    std::string text(c.length, 'q');
    if (!text.empty()) text[text.size() / 2] = '\0';
    const std::string stored = StoreBytes([&](CArchive& ar) { ar << text; });
    ASSERT_EQ(stored.size(), c.prefix.size() + c.length) << c.length;
    EXPECT_EQ(stored.substr(0, c.prefix.size()), c.prefix) << c.length;
    LoadBytes(stored, [&](CArchive& ar) {
      EXPECT_EQ(ar.ReadString(), text) << c.length;
      EXPECT_EQ(ar.GetBytesLeft(), 0u);
    });
  }
}

struct WideCase {
  std::string stored;
  std::string expected;
};

TEST(ArchiveTest, WideStringsBecomeUtf8) {
  const std::string wide = Bytes({0xFF, 0xFE, 0xFF});
  const WideCase cases[] = {
      {wide + Bytes({3, 'a', 0, 'b', 0, 'c', 0}), "abc"},
      {wide + Bytes({0}), ""},
      {wide + Bytes({2, 0xE9, 0x00, 0x00, 0x00}), std::string("\xC3\xA9\0", 3)},
      {wide + Bytes({1, 0xAC, 0x20}), "\xE2\x82\xAC"},
      {wide + Bytes({2, 0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80"},
      {wide + Bytes({2, 0x00, 0xD8, 'x', 0}), "?x"},
      {wide + Bytes({1, 0x00, 0xDC}), "?"},
      // The second prefix has the narrow forms; FFFE is a plain length there.
      {wide + Bytes({0xFF, 0x02, 0x00, 'h', 0, 'i', 0}), "hi"},
      {wide + Bytes({0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 'x', 0}), "x"},
  };
  for (const WideCase& c : cases) {
    LoadBytes(c.stored, [&](CArchive& ar) {
      EXPECT_EQ(ar.ReadString(), c.expected);
      EXPECT_EQ(ar.GetBytesLeft(), 0u);
    });
  }
}

struct CountCase {
  uint32_t count;
  std::string stored;
};

TEST(ArchiveTest, CountForms) {
  const CountCase cases[] = {
      {0, Bytes({0, 0})},
      {3, Bytes({3, 0})},
      {0xFFFE, Bytes({0xFE, 0xFF})},
      {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
      {0x12345, Bytes({0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00})},
  };
  for (const CountCase& c : cases) {
    EXPECT_EQ(StoreBytes([&](CArchive& ar) { ar.WriteCount(c.count); }), c.stored) << c.count;
    // A count of elements of one byte each needs that many bytes behind it.
    LoadBytes(c.stored + std::string(c.count, '\0'),
              [&](CArchive& ar) { EXPECT_EQ(ar.ReadCount(1), c.count); });
    if (c.count > 0) {
      EXPECT_EQ(LoadFailure(c.stored + std::string(c.count - 1, '\0'),
                            [](CArchive& ar) { ar.ReadCount(1); }),
                Cause::EndOfFile)
          << c.count;
    }
  }
}

TEST(ArchiveTest, IntegersAreLittleEndian) {
  const std::string stored = StoreBytes([](CArchive& ar) {
    ar << uint8_t{0xAB} << uint16_t{0x1234} << uint32_t{0x89ABCDEF} << int32_t{-2};
  });
  EXPECT_EQ(stored, Bytes({0xAB, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF, 0xFF, 0xFF}));
  LoadBytes(stored, [](CArchive& ar) {
    uint8_t b;
    uint16_t w;
    uint32_t d;
    int32_t i;
    ar >> b >> w >> d >> i;
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(d, 0x89ABCDEFu);
    EXPECT_EQ(i, -2);
  });
}

struct ShortfallCase {
  const char* what;
  std::string stored;
  std::function<void(CArchive&)> read;
};

TEST(ArchiveTest, ShortfallsAndAbsurdLengthsAreFormatErrors) {
  auto readString = [](CArchive& ar) { ar.ReadString(); };
  const ShortfallCase cases[] = {
      {"32 bits from 3 bytes", Bytes({1, 2, 3}), [](CArchive& ar) {
         uint32_t v;
         ar >> v;
       }},
      {"string cut short", Bytes({10}) + std::string(9, 'a'), readString},
      {"16-bit length cut", Bytes({0xFF, 0x01}), readString},
      {"huge 32-bit length", Bytes({0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF}) + "abc", readString},
      {"huge wide length",
       Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}) + "abcd", readString},
      {"wide text cut", Bytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 'b', 0, 'c'}), readString},
      {"huge count", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}), [](CArchive& ar) {
         ar.ReadCount(1);
       }},
      {"count of 2-byte elements", Bytes({5, 0}) + std::string(9, '\0'), [](CArchive& ar) {
         ar.ReadCount(2);
       }},
      {"object tag cut", Bytes({0xFF}), [](CArchive& ar) { ar.ReadNewObject(kRecordAndNote); }},
      {"object fields cut", ClassDescription(1, "CTestRecord") + Bytes({1, 2}),
       [](CArchive& ar) { ar.ReadNewObject(kRecordAndNote); }},
  };
  for (const ShortfallCase& c : cases) {
    EXPECT_EQ(LoadFailure(c.stored, c.read), Cause::EndOfFile) << c.what;
  }
}

TEST(ArchiveTest, LoadStartsAtTheFilePosition) {
  const std::string path = testing_support::TestRoot() + "/positioned.bin";
  testing_support::WriteFile(path, "skip!" + Bytes({2, 'o', 'k'}));
  CFileHandle file;
  ASSERT_TRUE(file.OpenForReading(path, FileShare::None));
  ASSERT_TRUE(file.Seek(5));
  CArchive archive(file, CArchive::Mode::Load);
  EXPECT_EQ(archive.GetBytesLeft(), 3u);
  EXPECT_EQ(archive.ReadString(), "ok");
}

TEST(ArchiveTest, FailedWriteThrowsWithTheSystemCode) {
  const std::string path = testing_support::TestRoot() + "/readonly.bin";
  testing_support::WriteFile(path, "");
  CFileHandle file;
  ASSERT_TRUE(file.OpenForReading(path, FileShare::None));
  CArchive archive(file, CArchive::Mode::Store);
  archive << uint32_t{1};
  try {
    archive.Close();
    FAIL() << "Close succeeded on a read-only file";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), Cause::WriteFault);
    EXPECT_FALSE(e.IsFormatError());
    EXPECT_EQ(e.GetSystemError(), 6u);
  }
}

TEST(ArchiveTest, ObjectTagsNumberClassesAndObjectsInOneSequence) {
  CTestRecord first(7);
  CTestRecord second(8);
  CTestNote note("hi");
  const std::string stored = StoreBytes([&](CArchive& ar) {
    ar.WriteObject(first, kTestClasses);
    ar.WriteObject(second, kTestClasses);
    ar.WriteObject(note, kTestClasses);
  });
  const std::string expected = ClassDescription(1, "CTestRecord") + U32(7) +  // class 1, object 2
                               U16(0x8001) + U32(8) +                          // object 3
                               ClassDescription(1, "CTestNote") + Bytes({2, 'h', 'i'});  // 4, 5
  EXPECT_EQ(stored, expected);

  for (const std::span<const CStoredClass> accepted :
       {std::span<const CStoredClass>(kTestClasses), kRecordAndNote}) {
    LoadBytes(stored, [&](CArchive& ar) {
      EXPECT_EQ(static_cast<CTestRecord&>(*ar.ReadNewObject(accepted)).value, 7u);
      EXPECT_EQ(static_cast<CTestRecord&>(*ar.ReadNewObject(accepted)).value, 8u);
      EXPECT_EQ(static_cast<CTestNote&>(*ar.ReadNewObject(accepted)).text, "hi");
    });
  }
}

TEST(ArchiveTest, LargeIndexesUseTheLongTag) {
  // Class 1 and objects 2 .. 0x8001 fill the short index range.
  std::vector<std::unique_ptr<CTestRecord>> records;
  for (uint32_t i = 0; i < 0x8000; ++i) records.push_back(std::make_unique<CTestRecord>(i));
  CTestNote firstNote("a");
  CTestNote secondNote("b");
  const std::string stored = StoreBytes([&](CArchive& ar) {
    for (auto& r : records) ar.WriteObject(*r, kTestClasses);
    ar.WriteObject(firstNote, kTestClasses);   // class 0x8002, object 0x8003
    ar.WriteObject(secondNote, kTestClasses);  // class by long tag, object 0x8004
  });
  const std::string tail = ClassDescription(1, "CTestNote") + Bytes({1, 'a'}) + U16(0x7FFF) +
                           U32(0x80008002) + Bytes({1, 'b'});
  ASSERT_GT(stored.size(), tail.size());
  EXPECT_EQ(stored.substr(stored.size() - tail.size()), tail);

  LoadBytes(stored, [&](CArchive& ar) {
    std::vector<std::unique_ptr<CObject>> loaded;
    for (uint32_t i = 0; i < 0x8000; ++i) loaded.push_back(ar.ReadNewObject(kRecordAndNote));
    EXPECT_EQ(static_cast<CTestRecord&>(*loaded.back()).value, 0x7FFFu);
    EXPECT_EQ(static_cast<CTestNote&>(*ar.ReadNewObject(kRecordAndNote)).text, "a");
    EXPECT_EQ(static_cast<CTestNote&>(*ar.ReadNewObject(kRecordAndNote)).text, "b");
    EXPECT_EQ(ar.GetBytesLeft(), 0u);
  });
}

TEST(ArchiveTest, LongTagsAreReadForSmallIndexesToo) {
  const std::string stored =
      ClassDescription(1, "CTestRecord") + U32(1) + U16(0x7FFF) + U32(0x80000001) + U32(2);
  LoadBytes(stored, [](CArchive& ar) {
    ar.ReadNewObject(kRecordAndNote);
    EXPECT_EQ(static_cast<CTestRecord&>(*ar.ReadNewObject(kRecordAndNote)).value, 2u);
  });
}

struct HostileTagCase {
  const char* what;
  std::string stored;
  Cause cause;
};

TEST(ArchiveTest, HostileObjectTagsAreFormatErrors) {
  const std::string record = ClassDescription(1, "CTestRecord") + U32(5);  // class 1, object 2
  const HostileTagCase cases[] = {
      {"name differing in case", ClassDescription(1, "CTestrecord") + U32(5), Cause::BadClass},
      {"unknown name", ClassDescription(1, "CTestMissing") + U32(5), Cause::BadClass},
      {"known but not accepted", ClassDescription(1, "CTestVersioned"), Cause::BadClass},
      {"name with a terminator", ClassDescription(1, std::string("CTestRecord\0", 12)) + U32(5),
       Cause::BadClass},
      {"schema 2", ClassDescription(2, "CTestRecord") + U32(5), Cause::BadSchema},
      {"schema 0", ClassDescription(0, "CTestRecord") + U32(5), Cause::BadSchema},
      {"64-byte name", ClassDescription(1, std::string(64, 'C')), Cause::BadClass},
      {"64-byte name length, nothing behind", U16(0xFFFF) + U16(1) + U16(64), Cause::BadClass},
      {"huge name length", U16(0xFFFF) + U16(1) + U16(0xFFFF), Cause::BadClass},
      {"class index never assigned", U16(0x8001) + U32(5), Cause::BadIndex},
      {"class index 0", U16(0x8000) + U32(5), Cause::BadIndex},
      {"long class index never assigned", U16(0x7FFF) + U32(0x80000005), Cause::BadIndex},
      {"long class index 0", U16(0x7FFF) + U32(0x80000000), Cause::BadIndex},
      {"object index never assigned", U16(0x0001), Cause::BadObject},
      {"long object index never assigned", U16(0x7FFF) + U32(0x00012345), Cause::BadObject},
      {"object index naming a class", record + U16(0x0001), Cause::BadObject},
      {"class index naming an object", record + U16(0x8002) + U32(5), Cause::BadIndex},
  };
  for (const HostileTagCase& c : cases) {
    EXPECT_EQ(LoadFailure(c.stored,
                          [](CArchive& ar) {
                            while (ar.GetBytesLeft() > 0) ar.ReadNewObject(kRecordAndNote);
                          }),
              c.cause)
        << c.what;
  }
}

TEST(ArchiveTest, ReadNewObjectRejectsReferencesAndNoObject) {
  const std::string record = ClassDescription(1, "CTestRecord") + U32(5);  // class 1, object 2
  for (const std::string& tag : {U16(0), U16(2), U16(0x7FFF) + U32(0), U16(0x7FFF) + U32(2)}) {
    EXPECT_EQ(LoadFailure(record + tag,
                          [](CArchive& ar) {
                            auto first = ar.ReadNewObject(kRecordAndNote);
                            ar.ReadNewObject(kRecordAndNote);
                          }),
              Cause::BadObject);
  }
}

TEST(ArchiveTest, RepeatedClassMustStillBeAccepted) {
  const std::string stored = ClassDescription(1, "CTestRecord") + U32(5) + U16(0x8001) + U32(6);
  const std::span<const CStoredClass> noteOnly = std::span(kTestClasses).subspan(1, 1);
  EXPECT_EQ(LoadFailure(stored,
                        [&](CArchive& ar) {
                          auto first = ar.ReadNewObject(kRecordAndNote);
                          ar.ReadNewObject(noteOnly);
                        }),
            Cause::BadClass);
}

}  // namespace
