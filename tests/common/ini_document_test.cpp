// The settings file's text model, without files: what a line means, and which bytes
// a change touches.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/ini_document.h"

namespace corvel {
namespace {

IniDocument Parsed(std::string bytes) {
  std::optional<IniDocument> document = IniDocument::Parse(std::move(bytes));
  EXPECT_TRUE(document.has_value());
  return document ? std::move(*document) : IniDocument();
}

TEST(IniDocumentTest, ReadsExactTextWrittenByOtherPrograms) {
  const IniDocument document = Parsed(
      "; by hand\r\n[Quorrel]\r\nPath=C:\\Shop\\Data\\\r\nList=a, b,c\r\nSemi=x;y ; z\r\n"
      "Quoted=\"q\" 'single'\r\nEquals=a=b==c\r\nSpaces=  both  \r\n  Indented = v \r\n"
      "LoneCr=a\rb\r\n#Hashed=1\r\n;Semi2=1\r\n\r\n[quorrel]\r\nPath=lower\r\n"
      "[Printer]\nDisplay=1\nDisplay=2\nCafe=Caf\xE9 \x80\nLast=no newline");
  struct Row {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Row rows[] = {
      {.section = "Quorrel", .key = "Path", .value = "C:\\Shop\\Data\\"},
      {.section = "Quorrel", .key = "List", .value = "a, b,c"},
      {.section = "Quorrel", .key = "Semi", .value = "x;y ; z"},
      {.section = "Quorrel", .key = "Quoted", .value = "\"q\" 'single'"},
      {.section = "Quorrel", .key = "Equals", .value = "a=b==c"},
      {.section = "Quorrel", .key = "Spaces", .value = "  both  "},
      // Blanks around a key name do not count; only CR LF and LF end a line.
      {.section = "Quorrel", .key = "Indented", .value = " v "},
      {.section = "Quorrel", .key = "LoneCr", .value = "a\rb"},
      {.section = "Quorrel", .key = "#Hashed", .value = {}},
      {.section = "Quorrel", .key = ";Semi2", .value = {}},
      {.section = "quorrel", .key = "Path", .value = "lower"},
      {.section = "Printer", .key = "Display", .value = "1"},  // the first of two wins
      {.section = "Printer", .key = "Cafe", .value = "Caf\xC3\xA9 \xE2\x82\xAC"},
      {.section = "Printer", .key = "Last", .value = "no newline"},
  };
  for (const Row& row : rows) {
    const std::optional<std::string_view> got = document.Get(row.section, row.key);
    EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, row.value)
        << row.section << "/" << row.key;
  }
  EXPECT_EQ(document.Keys("Printer"), (std::vector<std::string>{"Cafe", "Display", "Last"}));
  EXPECT_EQ(Parsed("\xEF\xBB\xBF[A]\nk=1\n").Get("A", "k"), "1");
  EXPECT_EQ(Parsed("top=1\n[A]\n").Get("", "top"), "1");
}

TEST(IniDocumentTest, ChangeTouchesOnlyThatLine) {
  const std::string two = "; c\r\n[Z]\r\nC=1\r\n\r\n[Q]\r\nP=C:\\D\r\n";
  struct Row {
    std::string before;
    const char* section;
    const char* key;
    std::string value;
    std::string after;
  };
  // clang-format off
  const Row rows[] = {
      {.before = two, .section = "Z", .key = "C", .value = " D:\\x, y; \"z\" # = ",
       .after = "; c\r\n[Z]\r\nC= D:\\x, y; \"z\" # = \r\n\r\n[Q]\r\nP=C:\\D\r\n"},
      {.before = two, .section = "Z", .key = "S", .value = "Shop",
       .after = "; c\r\n[Z]\r\nC=1\r\nS=Shop\r\n\r\n[Q]\r\nP=C:\\D\r\n"},
      {.before = two, .section = "New", .key = "k", .value = "v", .after = two + "[New]\r\nk=v\r\n"},
      {.before = "[A]\n  k = old\nz=1\n", .section = "A", .key = "k", .value = "new", .after = "[A]\n  k =new\nz=1\n"},
      {.before = "[A]\nk=1", .section = "A", .key = "j", .value = "2", .after = "[A]\nk=1\nj=2\n"},
      {.before = "[A]\nk=1", .section = "A", .key = "k", .value = "22", .after = "[A]\nk=22"},
      {.before = "[A]\nk=1\r", .section = "A", .key = "j", .value = "2", .after = "[A]\nk=1\r\r\nj=2\n"},
      // Most lines end in LF, so the new ones do.
      {.before = "[A]\r\nk=1\n\n", .section = "B", .key = "j", .value = "2", .after = "[A]\r\nk=1\n\n[B]\nj=2\n"},
      // A Windows-1252 line that changes becomes UTF-8; the others stay as they are.
      {.before = "[A]\nCaf\xE9=\xE9\nb=\xE9\n", .section = "A", .key = "Caf\xC3\xA9", .value = "\xE2\x82\xAC",
       .after = "[A]\nCaf\xC3\xA9=\xE2\x82\xAC\nb=\xE9\n"},
      {.before = "\xEF\xBB\xBF[A]\n", .section = "", .key = "top", .value = "1", .after = "\xEF\xBB\xBFtop=1\n[A]\n"},
      {.before = "[A]\n;k=1\n", .section = "A", .key = "k", .value = "2", .after = "[A]\nk=2\n;k=1\n"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.before + " + " + row.key);
    std::string out;
    ASSERT_TRUE(ApplyIniValues(row.before, row.section, {{row.key, row.value}}, out));
    EXPECT_EQ(out, row.after);
    EXPECT_EQ(Parsed(out).Get(row.section, row.key), row.value);
    std::string again = "untouched";
    EXPECT_FALSE(ApplyIniValues(out, row.section, {{row.key, row.value}}, again));
    EXPECT_EQ(again, "untouched");
  }
}

}  // namespace
}  // namespace corvel
