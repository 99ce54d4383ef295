// "corvel barcode" as a user or another program runs it: the JSON-lines session, the
// readable description and the drawn files.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

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
  struct Line {
    const char* name;
    QByteArray line;
    QJsonValue id;          // echoed id
    const char* errorPart;  // nullptr: a good answer
  };
  const QList<Line> lines = {
      {"Ean13", PrepareLine("\"first\"", "12345000007"), "first", nullptr},
      {"UpcE", PrepareLine("2", "999"), 2, nullptr},
      {"NotJson", "{\"id\": 3, \"op\": ", QJsonValue::Null, "not valid JSON"},
      {"NotAnObject", "[1, 2]", QJsonValue::Null, "object"},
      {"EmptyLine", "", QJsonValue::Null, "JSON"},
      {"IdOfWrongType", "{\"id\":[1],\"op\":\"prepare\",\"input\":{}}", QJsonValue::Null, "id"},
      {"MissingOp", "{\"id\":\"m\",\"input\":{}}", "m", "missing \"op\""},
      {"UnknownOp", "{\"id\":\"u\",\"op\":\"explode\",\"input\":{}}", "u", "unknown op"},
      {"MissingInput", "{\"id\":9,\"op\":\"prepare\"}", 9, "missing \"input\""},
      {"MissingField", PrepareLine("10", "1").replace(",\"allowUpcE\":true", ""), 10, "allowUpcE"},
      {"CodeNotText", PrepareLine("11", "1").replace("\"1\"", "1"), 11, "codeField"},
      {"FlagNotBoolean", PrepareLine("12", "1", "1"), 12, "allowEan8"},
      {"BeyondDouble", PrepareLine("13", "1E999"), 13, "range"},
      {"Ean8AfterErrors", PrepareLine("\"last\"", "1234567"), "last", nullptr},
  };
  QByteArray input;
  for (const Line& line : lines)
    input += line.line + "\n";
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"), {"barcode", "--jsonl"}, input);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  QList<QByteArray> answers = run.out.split('\n');
  ASSERT_EQ(answers.takeLast(), "");  // every answer ends its line
  ASSERT_EQ(answers.size(), lines.size()) << run.out.constData();

  QList<QJsonObject> objects;
  for (int i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(lines[i].name);
    const QJsonObject answer = QJsonDocument::fromJson(answers[i]).object();
    objects << answer;
    EXPECT_EQ(answer.value("id"), lines[i].id) << answers[i].constData();
    for (const QJsonValue& value : answer)
      EXPECT_FALSE(value.isObject() || value.isArray());
    const QString error = answer.value("error").toString();
    if (lines[i].errorPart) {
      EXPECT_TRUE(error.contains(lines[i].errorPart)) << error.toStdString();
      EXPECT_EQ(answer.size(), 2);
    } else {
      EXPECT_FALSE(answer.contains("error")) << error.toStdString();
    }
  }
  const QJsonObject expectedEan13{
      {"id", "first"},
      {"DataDigits", "012345000007"},
      {"LeadPair", "01"},
      {"FirstDigit", "0"},
      {"LeftFirst", "1"},
      {"LeftRest", "23450"},
      {"RightDigits", "00007"},
      {"CheckMarker", "*"},
      {"CheckDigit", 6},
      {"CheckDigitText", "6"},
      {"IsUpcE", false},
      {"IsEan8", false},
      {"UpcEDigits", ""},
      {"Pattern",
       "1-1-1-2-2-2-1-2-1-2-2-1-4-1-1-1-1-3-2-1-2-3-1-3-2-1-1-1-1-1-1-1-3-2-1-1-3-2-1-1-3-2-1-"
       "1-3-2-1-1-1-3-1-2-1-1-1-4-1-1-1"},
      {"NumberLine", "12345000007   6"},
      {"SheetNumberLine", "12345000007 6"}};
  EXPECT_EQ(objects[0], expectedEan13);
  EXPECT_EQ(objects[1].value("IsUpcE"), true);
  EXPECT_EQ(objects[1].value("UpcEDigits"), "009990");
  EXPECT_EQ(objects.last().value("IsEan8"), true);
  EXPECT_EQ(objects.last().value("Pattern").toString().size(), 85);
}

TEST(BarcodeCommand, ArgumentsAndDescription) {
  struct Row {
    QStringList args;
    int exitCode;
    const char* outPart;
  };
  const Row rows[] = {
      {{"1230000045", "--upce"}, 0, "number:       01234531"},
      {{"--ean8", "9638507"}, 0, "number:       96385074"},
      {{"4006381333932"}, 0, "computed would be 1"},
      {{}, 2, ""},
      {{"1", "2"}, 2, ""},
      {{"1", "--qr"}, 2, ""},
      {{"1", "--pdf"}, 2, ""},
      {{"1E999"}, 1, ""},
      {{"1", "--pdf", "/nonexistent-folder/x.pdf"}, 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.join(' ').toStdString());
    const test::RunResult run =
        test::RunProgram(test::BuiltProgram("corvel"), QStringList{"barcode"} + row.args);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
    EXPECT_TRUE(run.out.contains(row.outPart)) << run.out.constData();
  }
}

// The drawn files carry a symbol a scanner reads and the number printed under it.
TEST(BarcodeCommand, DrawsFilesThatDecode) {
  const QStringList rows[][2] = {{{"4006381333931"}, {"4006381333931"}},
                                 {{"9638507", "--ean8"}, {"96385074"}},
                                 {{"1230000045", "--upce"}, {"01234531"}}};
  for (const auto& [options, decoded] : rows) {
    SCOPED_TRACE(decoded.front().toStdString());
    const QString folder = test::MakeTempFolder();
    const QString pdf = folder + "/symbol.pdf", png = folder + "/symbol.png";
    const test::RunResult run = test::RunProgram(
        test::BuiltProgram("corvel"),
        QStringList{"barcode"} + options + QStringList{"--pdf", pdf, "--png", png, "--dpi", "203"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(test::DecodeBarcodes(png, {"-Supce.enable"}), decoded);
    EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(pdf, 300), {"-Supce.enable"}), decoded);
    bool numberPrinted = false;
    for (const test::PdfWord& word : test::PdfWords(pdf))
      numberPrinted |= word.text == decoded.front();
    EXPECT_TRUE(numberPrinted);
  }
}

}  // namespace
}  // namespace corvel
