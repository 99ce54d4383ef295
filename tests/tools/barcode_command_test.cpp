// "corvel barcode" as a user or another program runs it: the JSON-lines session, the
// readable description and the drawn files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <algorithm>
#include <tuple>

#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

QByteArray PrepareLine(const QByteArray& id, const QByteArray& code, const char* ean8 = "true") {
  return "{\"id\":" + id + ",\"op\":\"prepare\",\"input\":{\"codeField\":\"" + code +
         "\",\"allowUpcE\":true,\"allowEan8\":" + ean8 +
         ",\"printCheckDigit\":true,\"printUpcEDigits\":false}}";
}

TEST(BarcodeCommand, JsonlSessionAnswersEveryLineInOrder) {
  // A line, the id echoed, part of the error (nullptr: a good answer).
  const QList<std::tuple<QByteArray, QJsonValue, const char*>> lines = {
      {PrepareLine("\"first\"", "12345000007"), "first", nullptr},
      {PrepareLine("2", "999"), 2, nullptr},
      {"{\"id\": 3, \"op\": ", QJsonValue::Null, "not valid JSON"},
      {"[1, 2]", QJsonValue::Null, "object"},
      {"{\"id\":[1],\"op\":\"prepare\",\"input\":{}}", QJsonValue::Null, "id"},
      {"{\"id\":\"m\",\"input\":{}}", "m", "missing \"op\""},
      {"{\"id\":\"u\",\"op\":\"explode\",\"input\":{}}", "u", "unknown op"},
      {PrepareLine("10", "1").replace(",\"allowUpcE\":true", ""), 10, "allowUpcE"},
      {PrepareLine("12", "1", "1"), 12, "allowEan8"},
      {PrepareLine("13", "1E999"), 13, "range"},
      // The station's label reads the first 14 characters of the code box only.
      {"{\"id\":14,\"op\":\"label\",\"input\":{\"codeText\":\"1234567890123456\",\"flagText\":"
       "\"20\",\"priceText\":\"1.00\",\"usePriceCheckDigit\":false}}",
       14, nullptr},
      {PrepareLine("\"last\"", "1234567"), "last", nullptr},
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

  QList<QJsonObject> objects;
  for (int i = 0; i < answers.size(); ++i) {
    const auto& [line, id, errorPart] = lines[i];
    SCOPED_TRACE(line.constData());
    const QJsonObject answer = QJsonDocument::fromJson(answers[i]).object();
    objects << answer;
    EXPECT_EQ(answer.value("id"), id) << answers[i].constData();
    for (const QJsonValue& value : answer)
      EXPECT_FALSE(value.isObject() || value.isArray());
    const QString error = answer.value("error").toString();
    if (errorPart) {
      EXPECT_TRUE(error.contains(errorPart)) << error.toStdString();
      EXPECT_EQ(answer.size(), 2);
    } else {
      EXPECT_FALSE(answer.contains("error")) << error.toStdString();
    }
  }
  const QJsonObject expectedEan13 =
      QJsonDocument::fromJson(R"({"id": "first", "DataDigits": "012345000007", "LeadPair": "01",
        "FirstDigit": "0", "LeftFirst": "1", "LeftRest": "23450", "RightDigits": "00007",
        "CheckMarker": "*", "CheckDigit": 6, "CheckDigitText": "6", "IsUpcE": false,
        "IsEan8": false, "UpcEDigits": "", "NumberLine": "12345000007   6",
        "SheetNumberLine": "12345000007 6"})")
          .object();
  EXPECT_EQ(objects[0].take("Pattern").toString().size(), 117);
  EXPECT_EQ(objects[0], expectedEan13);
  EXPECT_EQ(objects[1].value("UpcEDigits"), "009990");
  EXPECT_EQ(objects[objects.size() - 2].value("BarcodeNumberText"), "2345678901234");
  EXPECT_EQ(objects.last().value("Pattern").toString().size(), 85);
}

TEST(BarcodeCommand, ArgumentsAndDescription) {
  const QStringList german = test::DecimalCommaLocale();
  ASSERT_FALSE(german.isEmpty()) << "no de_DE.UTF-8 locale and no localedef (package locales)";
  const std::tuple<QStringList, int, const char*, QStringList> rows[] = {
      {{"4006381333932"}, 0, "computed would be 1", {}},
      {{}, 2, "", {}},
      {{"1", "--pdf", "/nonexistent-folder/x.pdf"}, 1, "", {}},
      {{"1", "--dpi", "300dpi"}, 2, "", {}},
      // Under a decimal-comma locale this code once came out as 0006381333935.
      {{"4006381333931"}, 0, "data digits:  400638133393\n", german},
  };
  for (const auto& [args, exitCode, outPart, env] : rows) {
    SCOPED_TRACE((env.join(' ') + " " + args.join(' ')).toStdString());
    const test::RunResult run =
        test::RunProgram(test::BuiltProgram("corvel"), QStringList{"barcode"} + args, {}, env);
    EXPECT_EQ(run.exitCode, exitCode) << run.err.constData();
    EXPECT_TRUE(run.out.contains(outPart)) << run.out.constData();
  }
}

// The description names the number; the drawn files carry a symbol a scanner reads and
// the number printed under it.
TEST(BarcodeCommand, DrawsFilesThatDecode) {
  const QString folder = test::MakeTempFolder();
  const QString pdf = folder + "/symbol.pdf", png = folder + "/symbol.png";
  const test::RunResult run = test::RunProgram(
      test::BuiltProgram("corvel"),
      {"barcode", "1230000045", "--upce", "--pdf", pdf, "--png", png, "--dpi", "203"});
  ASSERT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(run.out.contains("number:       01234531")) << run.out.data();
  EXPECT_EQ(test::DecodeBarcodes(png, {"-Supce.enable"}), QStringList{"01234531"});
  EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(pdf, 300), {"-Supce.enable"}),
            QStringList{"01234531"});
  const auto words = test::PdfWords(pdf);
  EXPECT_TRUE(std::any_of(words.begin(), words.end(),
                          [](const test::PdfWord& word) { return word.text == "01234531"; }));
}

// What --png may replace: a new name or a regular file, through a symlink its target
// (the link stays). Anything else is refused untouched (a FIFO or a link to one stands
// for /dev/null and the like), and a write cut short leaves the old file and no other.
TEST(BarcodeCommand, WritesOnlyWholeRegularFiles) {
  const struct {
    const char* name;
    const char* setUp;  // shell commands run in a fresh folder first
    const char* limit;  // shell commands run before corvel, e.g. a file size limit
    int exitCode;
    bool link;            // "out" is still a symlink afterwards
    const char* content;  // how the file "out" leads to starts afterwards
  } rows[] = {
      {"new name", "", "", 0, false, "\x89PNG"},
      {"link to a file", "echo old >t; ln -s t out", "", 0, true, "\x89PNG"},
      {"FIFO", "mkfifo out", "", 1, false, nullptr},
      {"link to a FIFO", "mkfifo f; ln -s f out", "", 1, true, nullptr},
      {"dangling link", "ln -s gone out", "", 1, true, nullptr},
      {"file size limit", "echo old >out", "ulimit -f 2;", 1, false, "old"},
  };
  const auto entries = [](const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const QString folder = test::MakeTempFolder();
    ASSERT_EQ(
        test::RunProgram("/bin/sh", {"-c", "cd '" + folder + "' || exit 1; " + row.setUp}).exitCode,
        0);
    QStringList expected = entries(folder);
    if (!row.setUp[0]) expected << "out";
    const test::RunResult run =
        test::RunProgram("/bin/sh",
                         {"-c", QString(row.limit) + " exec \"$0\" barcode 1 --png \"$1\"",
                          test::BuiltProgram("corvel"), folder + "/out"},
                         {}, {}, 20000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
    EXPECT_EQ(run.err.isEmpty(), row.exitCode == 0) << run.err.constData();
    const QFileInfo out(folder + "/out");
    EXPECT_EQ(out.isSymLink(), row.link);
    if (row.content) {
      QFile file(out.canonicalFilePath());
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      EXPECT_TRUE(file.readAll().startsWith(row.content));
    }
    EXPECT_EQ(entries(folder), expected) << "no temporary file is left";
  }
}

}  // namespace
}  // namespace corvel
