// "corvel barcode" as a user or another program runs it: the JSON-lines session and the
// drawn files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/runner/runner_fixture.h"
#include "tests/support/pdf_tools.h"

namespace corvel {
namespace {

QByteArray PrepareLine(const QByteArray& id, const QByteArray& code, const char* ean8 = "true") {
  return "{\"id\":" + id + ",\"op\":\"prepare\",\"input\":{\"codeField\":\"" + code +
         "\",\"allowUpcE\":true,\"allowEan8\":" + ean8 +
         ",\"printCheckDigit\":true,\"printUpcEDigits\":false}}";
}

// Every line gets one answer line in order, with its id; a broken line gets an error
// naming what is wrong and the session goes on.
TEST(BarcodeCommand, JsonlSessionAnswersEveryLineInOrder) {
  // A line, the id echoed, part of the error (nullptr: a good answer).
  const QList<std::tuple<QByteArray, QJsonValue, const char*>> lines = {
      {PrepareLine("\"first\"", "12345000007"), "first", nullptr},
      {"{\"id\": 3, \"op\": ", QJsonValue::Null, "not valid JSON"},
      {"{\"id\":\"m\",\"input\":{}}", "m", "missing \"op\""},
      {"{\"id\":\"u\",\"op\":\"explode\",\"input\":{}}", "u", "unknown op"},
      {PrepareLine("12", "1", "1"), 12, "allowEan8"},
      {PrepareLine("13", "1E999"), 13, "range"},
      {"{\"id\":14,\"op\":\"label\",\"input\":{\"codeText\":\"1234\",\"flagText\":"
       "\"20\",\"priceText\":\"1.00\",\"usePriceCheckDigit\":false}}",
       14, nullptr},
  };
  QByteArray input;
  for (const auto& line : lines)
    input += std::get<0>(line) + "\n";
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"), {"barcode", "--jsonl"}, input);
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  QList<QByteArray> answers = run.out.split('\n');
  ASSERT_EQ(answers.takeLast(), "");  // every answer ends its line
  ASSERT_EQ(answers.size(), lines.size()) << run.out.constData();
  for (int i = 0; i < answers.size(); ++i) {
    const auto& [line, id, errorPart] = lines[i];
    SCOPED_TRACE(line.constData());
    const QJsonObject answer = QJsonDocument::fromJson(answers[i]).object();
    EXPECT_EQ(answer.value("id"), id) << answers[i].constData();
    const QString error = answer.value("error").toString();
    EXPECT_TRUE(errorPart ? error.contains(errorPart) : error.isEmpty()) << error.toStdString();
  }
  EXPECT_TRUE(answers[0].contains("\"SheetNumberLine\":\"12345000007 6\"")) << answers[0].data();
}

// What --png may replace: a new name or a regular file, through a symlink its target
// (the link stays), with a symbol a scanner reads at a roll printer's resolution. Anything else is
// refused untouched (a FIFO or a link to one stands for /dev/null and the like), and a write cut
// short leaves the old file and no other.
TEST(BarcodeCommand, WritesOnlyWholeRegularFiles) {
  const struct {
    const char* setUp;  // shell commands run in a fresh folder first, then corvel
    int exitCode;
    bool link;            // "out" is still a symlink afterwards
    const char* content;  // how the file "out" leads to starts afterwards
  } rows[] = {
      {"", 0, false, "\x89PNG"},
      {"echo old >t; ln -s t out;", 0, true, "\x89PNG"},
      {"mkfifo out;", 1, false, nullptr},
      {"mkfifo f; ln -s f out;", 1, true, nullptr},
      {"echo old >out; ulimit -f 2;", 1, false, "old"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.setUp);
    const QString folder = test::MakeTempFolder();
    const test::RunResult run = test::RunProgram("/bin/sh",
                                                 {"-c",
                                                  QString("cd \"$1\" || exit 9; ") + row.setUp +
                                                      " exec \"$0\" barcode 1 --png out --dpi 203",
                                                  test::BuiltProgram("corvel"), folder},
                                                 {}, {}, 20000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
    EXPECT_EQ(run.err.isEmpty(), row.exitCode == 0) << run.err.constData();
    const QFileInfo out(folder + "/out");
    EXPECT_EQ(out.isSymLink(), row.link);
    EXPECT_TRUE(!row.content || test::ReadFile(out.canonicalFilePath()).startsWith(row.content));
    if (row.exitCode == 0) {
      EXPECT_EQ(test::DecodeBarcodes(out.canonicalFilePath()), QStringList{"0000000000017"});
    }
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::System |
                                                      QDir::Hidden | QDir::NoDotAndDotDot))
      EXPECT_TRUE(name == "out" || name == "t" || name == "f")
          << "left behind: " << name.toStdString();
  }
}

// The PNG is drawn by corvel itself (no converter on PATH is needed): grey, its size and
// its recorded resolution following --dpi, and it scans at each.
TEST(BarcodeCommand, PngFollowsTheResolutionWithoutOtherPrograms) {
  const QString folder = test::MakeTempFolder();
  int widthAt100 = 0;
  for (const int dpi : {100, 203, 600}) {
    SCOPED_TRACE(dpi);
    const QString png = folder + "/" + QString::number(dpi) + ".png";
    const test::RunResult run =
        test::RunProgram(test::BuiltProgram("corvel"),
                         {"barcode", "4006381333931", "--png", png, "--dpi", QString::number(dpi)},
                         {}, {"PATH=" + folder});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.isGrayscale());
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, dpi, 0.5);
    if (dpi == 100) widthAt100 = image.width();
    EXPECT_NEAR(image.width(), widthAt100 * dpi / 100.0, dpi / 100.0);  // within a dot at 100
    EXPECT_EQ(test::DecodeBarcodes(png), QStringList{"4006381333931"});
  }
}

}  // namespace
}  // namespace corvel
