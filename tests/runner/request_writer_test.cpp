// The request writer: what it refuses, what it cuts, which files it writes.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "tests/runner/runner_fixture.h"
#include "tools/requests/request_writer.h"

namespace corvel {
namespace {

TEST(RequestWriter, RefusedWithTheRowNamedOrAccepted) {
  const std::string d33(33, 'd');
  const struct {
    bool json;
    std::string input;
    std::string message;  // empty: accepted
    bool cutAccepts;
  } cases[] = {
      // clang-format off
      {false, "code,description\n1,x\n2," + d33 + "\n", "CSV line 3: description", true},
      {false, "description\n" + std::string(31, 'e') + "é\n", "", true},  // counts once
      {false, "description\nŁódź\n", "Windows-1252", true},
      {false, "code\n\"1\n", "not closed", false},
      {true, R"({"barcodes": [{"code": "1"}, {"code": "123456789012345"}]})", "barcodes row 2: code", true},
      {true, R"({"shelf": [{"layouts": {"1": {"elements": {"1": {"size": 3}}}}}]})", "unknown cell", false},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const auto parse = [&](bool cut) {
      c.json ? ParseRequestJson(c.input, cut) : ParseRequestCsv(c.input, cut);
    };
    std::string refusal;
    try {
      parse(false);
    } catch (const RequestInputError& error) {
      refusal = error.what();
    }
    EXPECT_EQ(refusal.empty(), c.message.empty()) << refusal;
    EXPECT_NE(refusal.find(c.message), std::string::npos) << refusal;
    if (c.cutAccepts) {
      EXPECT_NO_THROW(parse(true)) << "--cut accepts it";
    }
  }
}

// Each request replaces both files, so an older request's shelf lines never reach new
// labels; --keep-shelf leaves the shelf file alone and cannot go with shelf cards.
TEST(RequestWriter, WritesBothFilesUnlessTheShelfFileIsKept) {
  const struct {
    const char* csv;
    bool keepShelf;
    qint64 barprintSize;  // -1: refused, both files left as they were
    qint64 shelfSize;
  } rows[] = {
      {"code\n1\n", false, 66, 0},
      {"code\n1\n", true, 66, 2 * 11162},
      {"text1\nx\n", false, 0, 11162},
      {"text1\nx\n", true, -1, 2 * 11162},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.csv) + (row.keepShelf ? " kept" : ""));
    const std::string folder = test::MakeTempFolder().toStdString();
    WriteRequestFiles(folder, ParseRequestCsv("code,text1\n1,a\n2,b\n", false), false);
    const auto write = [&] {
      WriteRequestFiles(folder, ParseRequestCsv(row.csv, false), row.keepShelf);
    };
    if (row.barprintSize < 0) {
      EXPECT_THROW(write(), RequestInputError);
    } else {
      write();
    }
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/Barprint")).size(),
              row.barprintSize < 0 ? 2 * 66 : row.barprintSize);
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/ShelfPrint")).size(), row.shelfSize);
  }
}

}  // namespace
}  // namespace corvel
