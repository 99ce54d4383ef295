// Fixed-length text in the single-byte code page, binary record fields, and record
// files that open and close for every operation.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <random>

#include "common/errors.h"
#include "common/fixed_record.h"
#include "common/record_file.h"
#include "common/text.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(CodePage, EveryByteRoundTripsExactly) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
  EXPECT_EQ(CharCount(utf8), 256u);
}

TEST(CodePage, Table) {
  const struct {
    const char* name;
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"plain ASCII", "Apples", "Apples"},
      {"e acute", "Caf\xE9", "Caf\xC3\xA9"},
      {"euro sign", "\x80", "\xE2\x82\xAC"},
      {"undefined byte kept as C1 control", "\x81", "\xC2\x81"},
      {"zero bytes survive", std::string("\0\0", 2), std::string("\0\0", 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Cp1252ToUtf8(c.bytes), c.utf8);
    EXPECT_EQ(Utf8ToCp1252(c.utf8), c.bytes);
  }
  EXPECT_EQ(Utf8ToCp1252("\xE6\xBC\xA2"), "?");  // not in the code page
  EXPECT_EQ(Utf8ToCp1252("a\xFF"
                         "b"),
            "a\xFF"
            "b");  // invalid UTF-8 kept as bytes
}

TEST(FixedTexts, CutAndPadByCharacters) {
  EXPECT_EQ(FixedText("New Item", 24), "New Item" + std::string(16, ' '));
  EXPECT_EQ(FixedText("123456789012345678901234567890", 24), "123456789012345678901234");
  EXPECT_EQ(FixedText("Caf\xC3\xA9 au lait", 4), "Caf\xC3\xA9");
  EXPECT_EQ(FirstChars("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(LastChars("0000012345", 3), "345");
  EXPECT_EQ(LastChars("12", 5), "12");
  EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
  EXPECT_EQ(TrimSpaces("    "), "");
}

TEST(RecordFields, LittleEndianNumbersAndTextFields) {
  RecordBytes record(32, 0xAA);
  PutInt16(record, 0, -1);
  PutInt64(record, 2, 12345000);
  PutFloat32(record, 10, 0.123f);
  PutTextField(record, 14, 8, "Caf\xC3\xA9");
  EXPECT_EQ(record[0], 0xFF);
  EXPECT_EQ(record[1], 0xFF);
  EXPECT_EQ(record[2], 0xA8);  // 12345000 = 0xBC5EA8
  EXPECT_EQ(record[3], 0x5E);
  EXPECT_EQ(record[4], 0xBC);
  EXPECT_EQ(record[9], 0x00);
  EXPECT_EQ(GetInt16(record, 0), -1);
  EXPECT_EQ(GetInt64(record, 2), 12345000);
  EXPECT_EQ(GetFloat32(record, 10), 0.123f);
  EXPECT_EQ(record[17], 0xE9);
  EXPECT_EQ(GetTextField(record, 14, 8), "Caf\xC3\xA9    ");
  EXPECT_EQ(record[22], 0xAA);  // bytes after the field are untouched
  PutTextField(record, 14, 3, "toolong");
  EXPECT_EQ(GetTextField(record, 14, 3), "too");
  EXPECT_THROW(GetInt64(record, 28), std::out_of_range);
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir))
      ++count;
    closedir(dir);
  }
  return count;
}

TEST(RecordFiles, CreateReadWrite) {
  const std::string path = test::MakeTempFolder().toStdString() + "/records";
  const RecordFile file(path, 10);
  const int descriptors = OpenDescriptors();
  EXPECT_EQ(file.Length(), 0u);  // created empty
  EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));

  RecordBytes record(10, 'x');
  file.Write(3, record);  // records 1 and 2 become zeros
  EXPECT_EQ(file.Length(), 30u);
  EXPECT_EQ(file.Read(1), RecordBytes(10, 0));
  EXPECT_EQ(file.Read(3), record);
  EXPECT_EQ(file.Read(4), RecordBytes(10, 0));  // wholly past the end
  EXPECT_EQ(OpenDescriptors(), descriptors);    // nothing stays open

  // A short last record is completed with zero bytes.
  QFile raw(QString::fromStdString(path));
  ASSERT_TRUE(raw.resize(25));
  RecordBytes expected(10, 0);
  std::fill(expected.begin(), expected.begin() + 5, 'x');
  EXPECT_EQ(file.Read(3), expected);
  EXPECT_THROW(file.Write(1, RecordBytes(9, 0)), IoError);
  EXPECT_THROW(file.Read(0), IoError);
}

TEST(RecordFiles, FailedWritesAreReported) {
  if (geteuid() == 0) {
    // root ignores file permissions; a full device still refuses writes.
  } else {
    const std::string path = test::MakeTempFolder().toStdString() + "/readonly";
    RecordFile(path, 4).Write(1, RecordBytes(4, 'a'));
    chmod(path.c_str(), 0444);
    EXPECT_EQ(RecordFile(path, 4).Read(1), RecordBytes(4, 'a'));  // still readable
    EXPECT_THROW(RecordFile(path, 4).Write(1, RecordBytes(4, 'b')), IoError);
  }
  EXPECT_THROW(RecordFile("/dev/full", 4).Write(1, RecordBytes(4, 'b')), IoError);
  EXPECT_THROW(RecordFile("/nonexistent-folder/file", 4).Length(), IoError);
}

TEST(CodePageFuzz, RandomBytesRoundTrip) {
  std::mt19937 random(7);
  for (int i = 0; i < 5000; ++i) {
    std::string bytes(random() % 65, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random() % 256);
    ASSERT_EQ(Utf8ToCp1252(Cp1252ToUtf8(bytes)), bytes);
    // Arbitrary bytes taken as UTF-8 never break the helpers.
    EXPECT_LE(CharCount(bytes), bytes.size());
    EXPECT_EQ(CharCount(FixedText(bytes, 10)), 10u);
  }
}

}  // namespace
}  // namespace corvel
