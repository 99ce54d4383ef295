// The programs' own arguments, started in a fresh home under a decimal-comma locale:
// help and version answered without touching anything, option values that are refused
// with the option and the value named, unknown options and missing values, and numbers
// that do not follow the locale.
#include <gtest/gtest.h>

#include <QDir>

#include "corvel_version.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(CommandLine, HelpVersionRefusedValuesAndNumbers) {
  const QStringList german = test::DecimalCommaLocale();
  ASSERT_FALSE(german.isEmpty()) << "no de_DE.UTF-8 locale and no localedef (package locales)";
  const QString pdfFolder = test::MakeTempFolder();
  const struct {
    const char* program;
    QStringList args;
    int exitCode;
    const char* out;  // part of standard output
    const char* err;  // part of standard error ("": none at all; nullptr: not checked)
  } rows[] = {
      {"corvel", {"--help"}, 0, "usage: corvel SUBCOMMAND", ""},
      {"corvel", {"label", "--weight", "abc", "--help"}, 0, "usage: corvel label", ""},
      {"sheetwise", {"--version"}, 0, "sheetwise " CORVEL_VERSION "\n", ""},
      {"tarewise", {"--help"}, 0, "Usage: tarewise", ""},
      {"corvel", {"label", "--weight", "abc"}, 2, "", "such as 1.235, not \"abc\""},
      {"corvel", {"label", "--weight", "1", "--price", "1,99"}, 2, "", "--price"},
      {"corvel", {"label", "--weight", "1", "--date", "2026-02-31"}, 2, "", "not \"2026-02-31\""},
      {"corvel", {"request", "--first", "0", "-"}, 2, "", "--first"},
      // Every subcommand refuses an unknown option and a missing value in the same words.
      {"corvel", {"doctor", "--station"}, 2, "", "corvel doctor: unknown option --station\n"},
      {"corvel", {"calibrate", "PDF", "--pdf-folder"}, 2, "", "--pdf-folder needs a value\n"},
      {"corvel", {"label", "--weight", "1", "-x"}, 2, "", "corvel label: unknown option -x\n"},
      {"corvel", {"scale", "1.000", "--slow"}, 2, "", "corvel scale: --slow needs a value\n"},
      {"corvel", {"barcode", "1", "--dpi"}, 2, "", "corvel barcode: --dpi needs a value\n"},
      {"corvel", {"request", "--cat", "-"}, 2, "", "corvel request: unknown option --cat\n"},
      {"corvel", {"barcode", "1", "--pdf", "/nonexistent-folder/x.pdf"}, 1, "", nullptr},
      // Under a decimal-comma locale this code once came out as 0006381333935.
      {"corvel", {"barcode", "4006381333931"}, 0, "data digits:  400638133393\n", ""},
      {"corvel", {"barcode", "4006381333932"}, 0, "computed would be 1", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE((row.program + (" " + row.args.join(' '))).toStdString());
    // Started in a fresh home, which must stay empty.
    const QString home = test::MakeTempFolder();
    const test::RunResult run = test::RunProgram(
        "/bin/sh",
        QStringList{"-c", "cd \"$0\" && exec \"$@\"", home, test::BuiltProgram(row.program)} +
            row.args,
        {},
        german + QStringList{"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                             "XDG_CACHE_HOME=" + home});
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
    EXPECT_TRUE(run.out.contains(row.out)) << run.out.constData();
    if (row.err) {
      EXPECT_TRUE(row.err[0] ? run.err.contains(row.err) : run.err.isEmpty())
          << run.err.constData();
    }
    EXPECT_TRUE(QDir(home).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  }
  // The leap day is a date.
  EXPECT_EQ(test::RunProgram(test::BuiltProgram("corvel"),
                             {"label", "--weight", "1.235 KG", "--date", "2028-02-29",
                              "--pdf-folder", pdfFolder},
                             {}, german)
                .exitCode,
            0);
  EXPECT_EQ(QDir(pdfFolder).entryList({"*.pdf"}).size(), 1);
}

}  // namespace
}  // namespace corvel
