// "corvel label" and the station ops of "corvel barcode" run as programs: a product of a real
// "pdlist" printed into a PDF folder, read back with zbar and pdftotext; price check digits
// and label symbols answered by ops "price_check" and "label".
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include "corvel_version.h"

#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(StationCommands, LabelAndBarcodeSessionRunAsPrograms) {
  const QString folder = test::MakeTempFolder(), pdlist = folder + "/pdlist", pdf = folder + "/pdf";
  test::WriteAllBytes(pdlist, test::ProductFileBytes(3));
  const auto label = [&](const QStringList& args) {
    return test::RunProgram(test::BuiltProgram("corvel"),
                            QStringList{"label"} + args + QStringList{"--pdf-folder", pdf});
  };
  // Item 2: 2.99 a kilogram, 1.015 less a tare of 0.015, shelf life 2 days.
  const test::RunResult run = label({"--pdlist", pdlist, "--record", "2", "--weight", "1.015 KG",
                                     "--date", "2026-12-06", "--check-digit", "--flag", "27"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList files = test::ListPdfFiles(pdf);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(run.out.contains(files.front().toUtf8())) << run.out.toStdString();
  EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(files.front(), 300)).join(",").toStdString(),
            "0272000602991");
  QStringList words;
  for (const test::PdfWord& word : test::PdfWords(files.front()))
    words << word.text;
  for (const char* expected : {"Item", "2.99", "1.000", "6/12/26", "8/12/26", "#2"})
    EXPECT_TRUE(words.contains(expected)) << expected << " in " << words.join(" ").toStdString();

  // The first three price checks are the worked examples of the GS1 price check digit;
  // the others pin one weighted product each (2-: 5 gives 9, 9 gives 7; 3: 9 gives 7;
  // 5-: 2 gives 9, 7 gives 2, 9 gives 1). It takes four digits (-1: refused).
  const std::pair<const char*, int> priceChecks[] = {
      {"2875", 9}, {"0550", 2}, {"1235", 4}, {"0000", 0}, {"5000", 7}, {"0900", 1},
      {"0090", 1}, {"0002", 7}, {"0007", 6}, {"0009", 3}, {"2345", 5}, {"287", -1}};
  // The number text: the data digits without leading zeros, then the check digit.
  struct Label {
    const char* code;
    const char* flag = "20";
    const char* price = "1.00";
    bool priceCheck = false;  // use the price check digit
    std::string number;       // "": no symbol
  };
  const Label labels[] = {
      {.code = "1234", .flag = "27", .price = "5.50", .number = "271234005509"},
      {.code = "1234", .flag = "27", .price = "5.50", .priceCheck = true, .number = "271234205503"},
      {.code = "7", .price = "12.35", .priceCheck = true, .number = "200007412350"},  // rounded
      {.code = "9998.7", .price = "0.00", .number = "209999000002"},
      // Judged on the rounded code, as the encoder judges it: 9999.4 is the largest
      // embedded item, 99999999999.4 is all data.
      {.code = "9999.4", .number = "209999001009"},
      {.code = "99999999999.4", .number = "999999999993"},
      {.code = "10000", .price = "5.50", .number = "100007"},  // the smallest own code
      {.code = "100000000005", .number = "100000000005"},
      {.code = "1234567890128", .number = "1234567890128"},
      // Loses its leading digit.
      {.code = "1", .price = "123.45", .priceCheck = true, .number = "200001523458"},
      // Overflows; a short flag is the default.
      {.code = "1", .price = "1000.00", .number = "200001000003"},
      {.code = "1", .price = "-3.00", .number = "200001000003"},
      {.code = "1", .flag = "2", .price = "0.00", .number = "200001000003"},
      {.code = "0", .number = ""},
      {.code = "-5", .number = ""},
  };
  QByteArray requests;
  const auto request = [&](const char* op, const QJsonObject& input) {
    requests +=
        QJsonDocument(QJsonObject{{"op", op}, {"input", input}}).toJson(QJsonDocument::Compact) +
        "\n";
  };
  for (const auto& [digits, expected] : priceChecks)
    request("price_check", {{"digits", digits}});
  for (const auto& [code, flag, price, priceCheck, number] : labels)
    request("label", {{"codeText", code},
                      {"flagText", flag},
                      {"priceText", price},
                      {"usePriceCheckDigit", priceCheck}});
  const test::RunResult session =
      test::RunProgram(test::BuiltProgram("corvel"), {"barcode", "--jsonl"}, requests);
  ASSERT_EQ(session.exitCode, 0) << session.err.toStdString();
  const QList<QByteArray> lines = session.out.trimmed().split('\n');
  ASSERT_EQ(std::size_t(lines.size()), std::size(priceChecks) + std::size(labels));
  const auto answer = [&](std::size_t i) { return QJsonDocument::fromJson(lines[i]).object(); };
  for (std::size_t i = 0; i < std::size(priceChecks); ++i) {
    const auto& [digits, expected] = priceChecks[i];
    EXPECT_EQ(answer(i)["PriceCheckDigit"].toInt(-1), expected) << digits;
    EXPECT_EQ(answer(i).contains("error"), expected < 0) << digits;
  }
  for (std::size_t i = 0; i < std::size(labels); ++i) {
    const auto& [code, flag, price, priceCheck, number] = labels[i];
    SCOPED_TRACE(std::string(code) + " " + price);
    const QJsonObject a = answer(std::size(priceChecks) + i);
    ASSERT_EQ(a["HasBarcode"].toBool(), !number.empty());
    if (number.empty()) continue;
    const QString data = a["DataDigits"].toString();
    EXPECT_EQ(data.size(), 12);
    EXPECT_EQ(a["BarcodeNumberText"].toString().toStdString(), number);
    EXPECT_EQ(QString::number(data.toLongLong()) + QString::number(a["CheckDigit"].toInt(-1)),
              QString::fromStdString(number));
  }
}

// tarewise answers --help and --version at once: no window, no file. With settings it
// cannot read it still starts (it is running when stopped) and says what is wrong.
TEST(StationCommands, TarewiseHelpVersionAndUnreadableSettings) {
  struct Row {
    const char* argument = "";
    const char* spoilt = "";  // the settings path spoilt
    const char* kind = "";    // made a 'd'irectory or 'f'ile
    bool runs = false;
    const char* says;
  };
  const Row rows[] = {
      {.argument = "--help", .says = "Usage: tarewise"},
      {.argument = "--version", .says = "tarewise " CORVEL_VERSION "\n"},
      {.spoilt = "Corvel/Corvel.ini", .kind = "d", .runs = true, .says = "Corvel.ini"},
      {.spoilt = "Corvel", .kind = "f", .runs = true, .says = "Corvel"},
  };
  for (const auto& [argument, spoilt, kind, runs, says] : rows) {
    SCOPED_TRACE(std::string(argument) + spoilt);
    const QString folder = test::MakeTempFolder(), config = folder + "/config";
    QDir().mkpath(config);
    if (*kind == 'd') QDir().mkpath(config + "/" + spoilt);
    if (*kind == 'f') test::WriteAllBytes(config + "/" + spoilt, {'x'});
    QStringList args = {"-c", "cd \"$0\" && exec \"$@\"", folder, test::BuiltProgram("tarewise")};
    if (*argument) args << argument;
    const test::RunResult run =
        test::RunProgram("/bin/sh", args, {},
                         {"XDG_CONFIG_HOME=" + config, "HOME=" + folder,
                          "CORVEL_PRINT_DIALOG=accept", "QT_QPA_PLATFORM=offscreen"},
                         runs ? 5000 : 30000);
    EXPECT_EQ(run.finished, !runs) << run.err.toStdString();
    if (runs) {
      EXPECT_TRUE(run.err.contains("The settings could not be read")) << run.err.toStdString();
      EXPECT_TRUE(run.err.contains(says)) << run.err.toStdString();
      continue;
    }
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(says)) << run.out.toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"config"});
    EXPECT_TRUE(QDir(config).isEmpty());
  }
}

}  // namespace
}  // namespace corvel
