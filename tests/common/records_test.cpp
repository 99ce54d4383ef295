// Fixed-length text in the single-byte code page, binary record fields, and record
// files that open and close for every operation. Every byte's way through the code page
// and back is held by fuzz/product_record_fuzz.cpp.
#include <gtest/gtest.h>

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

TEST(RecordFields, CodePageTextAndLittleEndianNumbers) {
  // e acute, euro sign, an undefined byte kept as a C1 control
  EXPECT_EQ(Cp1252ToUtf8("Caf\xE9\x80\x81"), "Caf\xC3\xA9\xE2\x82\xAC\xC2\x81");
  EXPECT_EQ(Utf8ToCp1252("\xE6\xBC\xA2"), "?");  // not in the code page
  EXPECT_EQ(Utf8ToCp1252("a\xFF"), "a\xFF");     // invalid UTF-8 kept as bytes
  EXPECT_EQ(FixedText("Caf\xC3\xA9 au lait", 4), "Caf\xC3\xA9");
  EXPECT_EQ(CharCount(FixedText("\xFF\xC3(", 5)), 5u);  // bytes that are not UTF-8
  RecordBytes record(32, 0xAA);
  PutInt16(record, 0, -1);
  PutInt64(record, 2, 12345000);
  PutTextField(record, 14, 8, "Caf\xC3\xA9");
  const RecordBytes expected = {0xFF, 0xFF, 0xA8, 0x5E, 0xBC, 0, 0, 0, 0, 0};  // 0xBC5EA8
  EXPECT_EQ(RecordBytes(record.begin(), record.begin() + 10), expected);
  PutTextField(record, 14, 3, "toolong");
  EXPECT_EQ(GetTextField(record, 14, 3), "too");
  EXPECT_EQ(record[17], 0xE9);  // the rest of the longer field is untouched
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
  const RecordBytes record(10, 'x');
  file.Write(3, record);  // records 1 and 2 become zeros
  EXPECT_EQ(file.Length(), 30u);
  EXPECT_EQ(file.Read(3), record);
  // A short last record is completed with zero bytes; past the end all are zeros.
  ASSERT_TRUE(QFile(QString::fromStdString(path)).resize(25));
  RecordBytes shortened(10, 0);
  std::fill(shortened.begin(), shortened.begin() + 5, 'x');
  EXPECT_EQ(file.Read(3), shortened);
  EXPECT_EQ(file.ReadRange(2, 4),
            (std::vector<RecordBytes>{RecordBytes(10, 0), shortened, RecordBytes(10, 0)}));
  EXPECT_EQ(OpenDescriptors(), descriptors);  // nothing stays open
  EXPECT_THROW(file.Write(1, RecordBytes(9, 0)), IoError);
  EXPECT_THROW(file.Read(0), IoError);
}

}  // namespace
}  // namespace corvel
