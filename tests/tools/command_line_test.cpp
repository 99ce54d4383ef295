// The companion command's own arguments: help and version answered without touching
// anything, and option values that are refused with the option and the value named.
#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>

#include "corvel_version.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(CorvelCommand, HelpVersionAndRefusedValues) {
  const QString pdfFolder = test::MakeTempFolder();
  const struct {
    QStringList args;
    int exitCode;
    const char* out;  // part of standard output
    const char* err;  // part of standard error ("": none at all)
  } rows[] = {
      {{"--version"}, 0, "corvel " CORVEL_VERSION, ""},
      {{"--help"}, 0, "usage: corvel SUBCOMMAND", ""},
      {{"label", "--weight", "abc", "--help"}, 0, "usage: corvel label", ""},
      {{"barcode", "--jsonl", "-h"}, 0, "usage: corvel barcode", ""},
      {{"label", "--weight", "abc"}, 2, "", "--weight takes a number such as 1.235, not \"abc\""},
      {{"label", "--weight", "1", "--price", "1,99"}, 2, "", "--price"},
      {{"label", "--weight", "1", "--date", "2026-02-31"}, 2, "", "not \"2026-02-31\""},
      {{"label", "--weight", "1.235 KG", "--date", "2028-02-29", "--pdf-folder", pdfFolder},
       0,
       "label printed",
       nullptr},
      {{"scale", "--slow", "abc"},
       2,
       "",
       "--slow takes a whole number from 0 to 3600000, not \"abc\""},
      {{"scale", "--vanish-after", "99999999999"}, 2, "", "--vanish-after"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.join(' ').toStdString());
    // Help and refusals leave a fresh home and configuration folder as they were.
    const QString home = test::MakeTempFolder();
    const test::RunResult run = test::RunProgram(
        test::BuiltProgram("corvel"), row.args, {},
        {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config", "XDG_CACHE_HOME=" + home});
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
    EXPECT_TRUE(run.out.contains(row.out)) << run.out.constData();
    if (!row.err) continue;
    EXPECT_TRUE(row.err[0] ? run.err.contains(row.err) : run.err.isEmpty()) << run.err.constData();
    EXPECT_TRUE(QDir(home).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  }
  EXPECT_EQ(QDir(pdfFolder).entryList({"*.pdf"}).size(), 1) << "the leap day prints";
}

}  // namespace
}  // namespace corvel
