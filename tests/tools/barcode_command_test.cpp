// "corvel barcode" as a user or another program runs it: the JSON-lines session and the
// readable description.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

QByteArray PrepareLine(const QByteArray& id, const QByteArray& code, bool upcE, bool ean8) {
  const QByteArray flag[] = {"false", "true"};
  return "{\"id\":" + id + ",\"op\":\"prepare\",\"input\":{\"codeField\":\"" + code +
         "\",\"allowUpcE\":" + flag[upcE] + ",\"allowEan8\":" + flag[ean8] +
         ",\"printCheckDigit\":true,\"printUpcEDigits\":false}}";
}

struct LineCase {
  const char* name;
  QByteArray line;
  QJsonValue id;          // echoed id
  const char* errorPart;  // nullptr: a good answer; else part of the error text
};

const QList<LineCase>& Lines() {
  static const QList<LineCase> lines = {
      {"Ean13", PrepareLine("\"first\"", "12345000007", true, true), "first", nullptr},
      {"UpcE", PrepareLine("2", "999", true, true), 2, nullptr},
      {"NotJson", "{\"id\": 3, \"op\": ", QJsonValue::Null, "not valid JSON"},
      {"NotAnObject", "[1, 2]", QJsonValue::Null, "object"},
      {"EmptyLine", "", QJsonValue::Null, "JSON"},
      {"IdOfWrongType", "{\"id\":[1],\"op\":\"prepare\",\"input\":{}}", QJsonValue::Null, "id"},
      {"MissingOp", "{\"id\":\"m\",\"input\":{}}", "m", "missing \"op\""},
      {"OpNotText", "{\"id\":\"n\",\"op\":5,\"input\":{}}", "n", "\"op\""},
      {"UnknownOp", "{\"id\":\"u\",\"op\":\"explode\",\"input\":{}}", "u", "unknown op"},
      {"MissingInput", "{\"id\":9,\"op\":\"prepare\"}", 9, "missing \"input\""},
      {"MissingField",
       "{\"id\":10,\"op\":\"prepare\",\"input\":{\"codeField\":\"1\",\"allowUpcE\":true,"
       "\"printCheckDigit\":true,\"printUpcEDigits\":true}}",
       10, "allowEan8"},
      {"CodeNotText",
       "{\"id\":11,\"op\":\"prepare\",\"input\":{\"codeField\":12345,\"allowUpcE\":true,"
       "\"allowEan8\":true,\"printCheckDigit\":true,\"printUpcEDigits\":true}}",
       11, "codeField"},
      {"FlagNotBoolean",
       PrepareLine("12", "1", true, true).replace("\"allowEan8\":true", "\"allowEan8\":1"), 12,
       "allowEan8"},
      {"BeyondDouble", PrepareLine("13", "1E999", true, true), 13, "range"},
      {"Ean8AfterErrors", PrepareLine("\"last\"", "1234567", true, true), "last", nullptr},
  };
  return lines;
}

TEST(BarcodeCommand, JsonlSessionAnswersEveryLineInOrder) {
  QByteArray input;
  for (const LineCase& c : Lines())
    input += c.line + "\n";
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"), {"barcode", "--jsonl"}, input);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  QList<QByteArray> answers = run.out.split('\n');
  ASSERT_EQ(answers.takeLast(), "");  // every answer ends its line
  ASSERT_EQ(answers.size(), Lines().size()) << run.out.constData();

  for (int i = 0; i < answers.size(); ++i) {
    const LineCase& c = Lines()[i];
    SCOPED_TRACE(c.name);
    const QJsonDocument doc = QJsonDocument::fromJson(answers[i]);
    ASSERT_TRUE(doc.isObject()) << answers[i].constData();
    const QJsonObject answer = doc.object();
    EXPECT_EQ(answer.value("id"), c.id);
    for (const QJsonValue& value : answer)
      EXPECT_FALSE(value.isObject() || value.isArray()) << "answers are flat";
    if (c.errorPart) {
      EXPECT_TRUE(answer.value("error").toString().contains(c.errorPart))
          << answer.value("error").toString().toStdString();
      EXPECT_EQ(answer.size(), 2);
    } else {
      EXPECT_FALSE(answer.contains("error")) << answer.value("error").toString().toStdString();
    }
  }

  const QJsonObject ean13 = QJsonDocument::fromJson(answers[0]).object();
  EXPECT_EQ(ean13.value("DataDigits"), "012345000007");
  EXPECT_EQ(ean13.value("LeadPair"), "01");
  EXPECT_EQ(ean13.value("FirstDigit"), "0");
  EXPECT_EQ(ean13.value("LeftFirst"), "1");
  EXPECT_EQ(ean13.value("LeftRest"), "23450");
  EXPECT_EQ(ean13.value("RightDigits"), "00007");
  EXPECT_EQ(ean13.value("CheckMarker"), "*");
  EXPECT_EQ(ean13.value("CheckDigit"), 6);  // a number, not text
  EXPECT_EQ(ean13.value("CheckDigitText"), "6");
  EXPECT_EQ(ean13.value("IsUpcE"), false);
  EXPECT_EQ(ean13.value("IsEan8"), false);
  EXPECT_EQ(ean13.value("UpcEDigits"), "");
  EXPECT_EQ(ean13.value("Pattern").toString().size(), 117);

  const QJsonObject upcE = QJsonDocument::fromJson(answers[1]).object();
  EXPECT_EQ(upcE.value("IsUpcE"), true);
  EXPECT_EQ(upcE.value("UpcEDigits"), "009990");
  EXPECT_EQ(upcE.value("CheckDigit"), 7);
  EXPECT_EQ(upcE.value("Pattern").toString().size(), 65);

  const QJsonObject ean8 = QJsonDocument::fromJson(answers.last()).object();
  EXPECT_EQ(ean8.value("IsEan8"), true);
  EXPECT_EQ(ean8.value("LeftRest"), "234");
  EXPECT_EQ(ean8.value("Pattern").toString().size(), 85);
}

TEST(BarcodeCommand, DescribesTheSymbolAndRejectsBadArguments) {
  struct Row {
    const char* name;
    QStringList args;
    int exitCode;
    const char* outPart;  // part of standard output
  };
  const Row rows[] = {
      {"UpcE", {"barcode", "1230000045", "--upce"}, 0, "number:       01234531"},
      {"Ean8", {"barcode", "--ean8", "9638507"}, 0, "number:       96385074"},
      {"GivenCheckDigit", {"barcode", "4006381333932"}, 0, "computed would be 1"},
      {"NoCode", {"barcode"}, 2, ""},
      {"TwoCodes", {"barcode", "1", "2"}, 2, ""},
      {"UnknownOption", {"barcode", "1", "--qr"}, 2, ""},
      {"PdfWithoutFile", {"barcode", "1", "--pdf"}, 2, ""},
      {"BeyondDouble", {"barcode", "1E999"}, 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const test::RunResult run = test::RunProgram(test::BuiltProgram("corvel"), row.args);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
    EXPECT_TRUE(run.out.contains(row.outPart)) << run.out.constData();
  }
}

// The drawn files carry a symbol a scanner reads and the number printed under it.
TEST(BarcodeCommand, DrawsFilesThatDecode) {
  struct Row {
    const char* name;
    QStringList options;
    const char* decoded;
  };
  const Row rows[] = {
      {"Ean13", {"4006381333931"}, "4006381333931"},
      {"Ean8", {"9638507", "--ean8"}, "96385074"},
      {"UpcE", {"1230000045", "--upce"}, "01234531"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const QString folder = test::MakeTempFolder();
    const QString pdf = folder + "/symbol.pdf", png = folder + "/symbol.png";
    const test::RunResult run = test::RunProgram(
        test::BuiltProgram("corvel"), QStringList{"barcode"} + row.options +
                                          QStringList{"--pdf", pdf, "--png", png, "--dpi", "203"});
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(test::DecodeBarcodes(png, {"-Supce.enable"}), QStringList{row.decoded});
    EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(pdf, 300), {"-Supce.enable"}),
              QStringList{row.decoded});
    const QString digits = row.decoded;
    bool numberPrinted = false;
    for (const test::PdfWord& word : test::PdfWords(pdf))
      numberPrinted |= word.text == digits;
    EXPECT_TRUE(numberPrinted);
  }
  const test::RunResult unwritable = test::RunProgram(
      test::BuiltProgram("corvel"), {"barcode", "1", "--pdf", "/nonexistent-folder/x.pdf"});
  EXPECT_EQ(unwritable.exitCode, 1);
}

}  // namespace
}  // namespace corvel
