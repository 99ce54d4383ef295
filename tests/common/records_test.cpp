// Fixed-length text in the single-byte code page, binary record fields, and record
// files that open and close for every operation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <filesystem>
#include <iterator>

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
  // e acute, euro sign, an undefined byte kept as a C1 control
  EXPECT_EQ(Cp1252ToUtf8("Caf\xE9\x80\x81"), "Caf\xC3\xA9\xE2\x82\xAC\xC2\x81");
  EXPECT_EQ(Utf8ToCp1252("\xE6\xBC\xA2"), "?");  // not in the code page
  const std::string invalid = std::string("a\xFF") + "b";
  EXPECT_EQ(Utf8ToCp1252(invalid), invalid);  // invalid UTF-8 kept as bytes
}

TEST(FixedTexts, CutAndPadByCharacters) {
  EXPECT_EQ(FixedText("New Item", 24), "New Item" + std::string(16, ' '));
  EXPECT_EQ(FixedText("Caf\xC3\xA9 au lait", 4), "Caf\xC3\xA9");
  EXPECT_EQ(FirstChars("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(LastChars("0000012345", 3), "345");
  EXPECT_EQ(CharCount(FixedText("\xFF\xC3(", 5)), 5u);  // bytes that are not UTF-8
  EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
}

TEST(RecordFields, LittleEndianNumbersAndTextFields) {
  RecordBytes record(32, 0xAA);
  PutInt16(record, 0, -1);
  PutInt64(record, 2, 12345000);
  PutFloat32(record, 10, 0.123f);
  PutTextField(record, 14, 8, "Caf\xC3\xA9");
  const RecordBytes expected = {0xFF, 0xFF, 0xA8, 0x5E, 0xBC, 0, 0, 0, 0, 0};  // 0xBC5EA8
  EXPECT_EQ(RecordBytes(record.begin(), record.begin() + 10), expected);
  EXPECT_EQ(GetFloat32(record, 10), 0.123f);  // read back: fuzz/product_record_fuzz.cpp
  EXPECT_EQ(record[17], 0xE9);
  EXPECT_EQ(GetTextField(record, 14, 8), "Caf\xC3\xA9    ");
  EXPECT_EQ(record[22], 0xAA);  // bytes after the field are untouched
  PutTextField(record, 14, 3, "toolong");
  EXPECT_EQ(GetTextField(record, 14, 3), "too");
  EXPECT_THROW(GetInt64(record, 28), std::out_of_range);
}

long OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

TEST(RecordFiles, CreateReadWrite) {
  const std::string path = test::MakeTempFolder().toStdString() + "/records";
  const RecordFile file(path, 10);
  const long descriptors = OpenDescriptors();
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
  // A range reads in one pass what Read gives record by record.
  EXPECT_EQ(file.ReadRange(2, 4),
            (std::vector<RecordBytes>{RecordBytes(10, 0), expected, RecordBytes(10, 0)}));
  EXPECT_TRUE(file.ReadRange(2, 1).empty());
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_THROW(file.Write(1, RecordBytes(9, 0)), IoError);
  EXPECT_THROW(file.Read(0), IoError);
}

TEST(RecordFiles, FailedWritesAreReported) {
  if (geteuid() != 0) {  // root ignores file permissions
    const std::string path = test::MakeTempFolder().toStdString() + "/readonly";
    RecordFile(path, 4).Write(1, RecordBytes(4, 'a'));
    chmod(path.c_str(), 0444);
    EXPECT_EQ(RecordFile(path, 4).Read(1), RecordBytes(4, 'a'));  // still readable
    EXPECT_THROW(RecordFile(path, 4).Write(1, RecordBytes(4, 'b')), IoError);
  }
  EXPECT_THROW(RecordFile("/dev/full", 4).Write(1, RecordBytes(4, 'b')), IoError);
  EXPECT_THROW(RecordFile("/nonexistent-folder/file", 4).Length(), IoError);
}

}  // namespace
}  // namespace corvel
