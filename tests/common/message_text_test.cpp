// How a message shows a value it complains about: quoted, and cut by characters (never
// inside one) once it is long, with the whole length said; a setting named the one way
// every program names it.
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"

namespace corvel {
namespace {

TEST(MessageText, QuotedCutsLongValuesByCharacters) {
  const std::string forty(40, 'x');
  const std::string umlauts40 = [] {
    std::string text;
    for (int i = 0; i < 40; ++i)
      text += "\xC3\xA4";  // ä, two bytes each
    return text;
  }();
  const struct {
    const char* name;
    std::string text;
    std::string quoted;
  } rows[] = {
      {"empty", "", "\"\""},
      {"short", "sixty", "\"sixty\""},
      {"forty characters stay whole", forty, "\"" + forty + "\""},
      {"past forty the rest is counted", forty + "yz", "\"" + forty + "...\" (42 characters)"},
      {"forty two-byte characters are forty, not eighty", umlauts40, "\"" + umlauts40 + "\""},
      {"a cut falls between characters", "\xC3\xA4" + umlauts40,
       "\"" + umlauts40 + "...\" (41 characters)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string quoted = Quoted(row.text);
    EXPECT_EQ(quoted, row.quoted);
    EXPECT_TRUE(IsValidUtf8(quoted));
  }
}

TEST(MessageText, SettingTextNamesSectionKeyAndValue) {
  EXPECT_EQ(SettingText("Printer", "PdfPageSizeZ", "sixty"),
            "setting Printer/PdfPageSizeZ \"sixty\"");
  EXPECT_EQ(SettingText("Calibration PDF", "Dpi", std::string(50, '9')),
            "setting Calibration PDF/Dpi \"" + std::string(40, '9') + "...\" (50 characters)");
}

}  // namespace
}  // namespace corvel
