// Weighed-item labels: the symbol's number, the label on the recording surface, and
// `corvel label` and tarewise run as programs.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <map>
#include <ranges>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/number_text.h"
#include "common/settings_sections.h"
#include "station/label_barcode.h"
#include "station/label_layout.h"
#include "station/weighed_label.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/recording_surface.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// The FLAG box keeps a whole number 20..29; the fraction goes before the range is judged.
TEST(LabelBarcode, FlagBoxKeepsTwentyToTwentyNine) {
  const std::pair<double, const char*> rows[] = {
      {29.9, "29"}, {19.99, "20"}, {30, "20"}, {-25, "20"}, {NAN, "20"}};
  for (const auto& [typed, shown] : rows)
    EXPECT_EQ(FlagBoxText(typed), shown) << typed;
}

// The first three are the worked examples of the GS1 price check digit; the others pin
// one weighted product each (2-: 5 gives 9, 9 gives 7; 3: 9 gives 7; 5-: 2 gives 9,
// 7 gives 2, 9 gives 1).
TEST(LabelBarcode, PriceCheckDigit) {
  const std::pair<const char*, int> rows[] = {{"2875", 9}, {"0550", 2}, {"1235", 4}, {"0000", 0},
                                              {"5000", 7}, {"0900", 1}, {"0090", 1}, {"0002", 7},
                                              {"0007", 6}, {"0009", 3}, {"2345", 5}};
  for (const auto& [digits, check] : rows)
    EXPECT_EQ(PriceCheckDigit(digits), check) << digits;
}

// The number text: the data digits without leading zeros, then the check digit.
TEST(LabelBarcode, NumberForCodeFlagAndPrice) {
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
      // Judged on the rounded code, as the encoder judges it: 9999.4 is the largest
      // embedded item, 9999.5 the smallest own code.
      {.code = "9999.4", .number = "209999001009"},
      {.code = "9999.5", .price = "5.50", .number = "100007"},
      // Only the first 14 characters of the code box count.
      {.code = "1234567890123456", .number = "2345678901234"},
      // Loses its leading digit.
      {.code = "1", .price = "123.45", .priceCheck = true, .number = "200001523458"},
      // Overflows; a short flag is the default.
      {.code = "1", .flag = "2", .price = "1000.00", .number = "200001000003"},
      {.code = "1", .price = "-3.00", .number = "200001000003"},  // a negative price embeds 0
      {.code = "0", .number = ""},
  };
  for (const Label& l : labels) {
    SCOPED_TRACE(std::string(l.code) + " " + l.price);
    BarcodeJob job;
    ASSERT_EQ(PrepareLabelBarcode(job, LabelCodeText(l.code), l.flag, l.price, l.priceCheck),
              !l.number.empty());
    if (l.number.empty()) continue;
    BuildBarPattern(job, CheckDigitSource::FromMarker);
    EXPECT_EQ(MakeBarcodeNumberText(job), l.number);
  }
}

TEST(StationCommands, LabelPrintsAProductOfAProductFile) {
  const QString folder = test::MakeTempFolder(), pdlist = folder + "/pdlist", pdf = folder + "/pdf";
  test::WriteAllBytes(pdlist, test::ProductFileBytes(3));
  // Item 2: 2.99 a kilogram, 1.015 less a tare of 0.015, shelf life 2 days.
  const test::RunResult run = test::RunProgram(
      test::BuiltProgram("corvel"),
      {"label", "--pdlist", pdlist, "--record", "2", "--weight", "1.015 KG", "--date", "2026-12-06",
       "--check-digit", "--flag", "27", "--pdf-folder", pdf});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList files = test::ListPdfFiles(pdf);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(run.out.contains(files.front().toUtf8())) << run.out.toStdString();
  for (const int dpi : {203, 600})  // thermal printer dots, and fine ones
    EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(files.front(), dpi)),
              QStringList{"0272000602991"})
        << dpi << " dpi";
}

// tarewise never hangs or aborts at start over what stands in place of its files or
// display: with settings or a product file it cannot use it starts (it is running when
// stopped) and says what is wrong, and nothing is created where a link points; with no
// display it ends with one line.
TEST(StationCommands, TarewiseStartsOrSaysWhyNot) {
  const struct {
    const char* setUp;  // shell commands in the station's folder, settings in ./config
    std::vector<const char*> said;
    int exitCode = -1;  // -1: still running
    QStringList env = {};
  } rows[] = {
      {"mkdir -p config/Corvel/Corvel.ini;",
       {"The settings could not be read", "Corvel/Corvel.ini"}},
      {"echo x >config/Corvel;", {"The settings could not be read", "config/Corvel is a file"}},
      {"mkdir config/Corvel; mkfifo config/Corvel/Corvel.ini;", {"Corvel.ini is a named pipe"}},
      {"mkfifo pdlist;", {"pdlist is a named pipe"}},
      {"ln -s gone pdlist;", {"pdlist is a symbolic link to gone"}},
      {"",
       {"tarewise: cannot open a window: no display"},
       1,
       {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.setUp);
    const QString folder = test::MakeTempFolder();
    QDir().mkpath(folder + "/config");
    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : QStringList{"XDG_CONFIG_HOME=" + folder + "/config",
                                            "HOME=" + folder, "CORVEL_PRINT_DIALOG=accept"} +
                                    row.env)
      entry.endsWith('=') ? env.remove(entry.chopped(1))
                          : env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    station.setProcessEnvironment(env);
    station.setWorkingDirectory(folder);
    station.setReadChannel(QProcess::StandardError);
    station.start("/bin/sh",
                  {"-c", QString(row.setUp) + " exec \"$0\"", test::BuiltProgram("tarewise")});
    QByteArray err;
    const auto saidAll = [&] {
      return std::ranges::all_of(row.said, [&](const char* part) { return err.contains(part); });
    };
    for (QDeadlineTimer limit(20000); !saidAll() && !limit.hasExpired();) {
      if (!station.waitForReadyRead(100) && station.state() == QProcess::NotRunning) break;
      err += station.readAllStandardError();
    }
    err += station.readAllStandardError();
    EXPECT_TRUE(saidAll()) << err.toStdString();
    if (row.exitCode < 0) {
      EXPECT_EQ(station.state(), QProcess::Running) << err.toStdString();
    } else {
      ASSERT_TRUE(station.state() == QProcess::NotRunning || station.waitForFinished(20000));
      EXPECT_EQ(station.exitCode(), row.exitCode);
      EXPECT_EQ((err + station.readAllStandardError()).count('\n'), 1) << err.toStdString();
    }
    station.kill();
    station.waitForFinished();
    EXPECT_FALSE(QFileInfo::exists(folder + "/gone")) << "created where a link points";
  }
}

using test::HamBoxes;

class WeighedLabel : public ::testing::Test {
 protected:
  void Print(const LabelBoxes& boxes, RecordingSurface& on) {
    PrintWeighedLabel(boxes, store, on, clock, job);
  }
  void Print(const LabelBoxes& boxes) { Print(boxes, surface); }

  MemorySettingsStore store;
  RecordingSurface surface;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 10, 30)};
  BarcodeJob job;
};

// A font size that reads as 0 or less leaves that element off; the rest of the label
// prints, bold included.
TEST_F(WeighedLabel, PrintsTheLinesThatApply) {
  struct Case {
    const char* name;
    std::function<void(LabelBoxes&)> change;
    const char* embedded = "01585";  // the price the symbol carries; "": no symbol
    std::string lines = "wkp";       // 'w'eight, price per 'k'ilogram and 'p'rice lines printed
    const char* useBy = "";
    std::pair<const char*, const char*> size = {};  // a font size key and its value
    const char* leftOff = "";                       // a text not printed
  };
  // clang-format off
  const Case cases[] = {
      {.name = "Weighed", .change = [](auto&) {}},
      // 4.35 x 100 is 434.99999999999994 in binary: the cents are rounded, not cut.
      {.name = "NonWeighed", .change = [](auto& b) { b.nonWeighed = true, b.price = "4.35"; }, .embedded = "00435", .lines = "p"},
      {.name = "NegativeNet", .change = [](auto& b) { b.weight = "0.010 KG"; }, .embedded = "01299", .lines = "p"},
      {.name = "ZeroPrice", .change = [](auto& b) { b.price = std::string("0"); }, .embedded = "00000", .lines = "w"},
      {.name = "NoCode", .change = [](auto& b) { b.code = ""; }, .embedded = ""},
      {.name = "ShelfLife", .change = [](auto& b) { b.shelfLife = "3"; }, .useBy = "9/12/26"},
      {.name = "NegativeShelfLife", .change = [](auto& b) { b.shelfLife = "-2"; }},
      // The true date centuries ahead, not one some 317 years ahead.
      {.name = "Centuries", .change = [](auto& b) { b.shelfLife = "200000"; }, .useBy = "6/07/74"},
      {.name = "NoStoreSize", .change = [](auto&) {}, .size = {"StoreSize1", "-4"}, .leftOff = "Storename"},
      {.name = "NoNumberSize", .change = [](auto&) {}, .size = {"BarcodeFontSize", "none"}, .leftOff = "201234015857"},
  };
  // clang-format on
  const LabelLayout layout = LayoutValues(LayoutSet::Absent);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore settings;
    if (c.size.first) settings.Save(kStationSection, c.size.first, c.size.second);
    RecordingSurface fresh;
    LabelBoxes boxes = HamBoxes();
    c.change(boxes);
    PrintWeighedLabel(boxes, settings, fresh, clock, job);
    std::multimap<double, std::string> at;  // texts by top
    for (const RecordedOp& op : fresh.Texts())
      at.emplace(op.y, op.text);
    const auto has = [&](char line) { return c.lines.find(line) != std::string::npos; };
    EXPECT_EQ(at.count(layout.WeightTop), has('w') ? 1u : 0u);
    EXPECT_EQ(at.count(layout.PricePerKgTop), has('k') ? 1u : 0u);
    EXPECT_EQ(at.count(layout.PriceTop), has('p') ? 1u : 0u);
    EXPECT_EQ(fresh.Rects().size(), *c.embedded ? 30u : 0u);
    EXPECT_EQ(*c.embedded ? job.RightDigits : fresh.Texts().front().text,
              *c.embedded ? c.embedded : "Ham")
        << "without a symbol, no number either";
    EXPECT_TRUE(fresh.Texts().back().font.bold) << "bold from the number or store name on";
    EXPECT_EQ(fresh.EndedDocuments(), 1);
    EXPECT_EQ(at.find(layout.DateTop)->second, "6/12/26");
    EXPECT_EQ(at.count(layout.UseDateTop) ? at.find(layout.UseDateTop)->second : "", c.useBy);
    EXPECT_TRUE(!*c.leftOff || !std::ranges::count(at | std::views::values, c.leftOff));
  }
}

// A failure abandons the label: an overflowing layout value before anything is drawn,
// a use-by date past the year 9999 half way; the unfinished document is thrown away.
TEST_F(WeighedLabel, FailuresAbandonTheWholeLabel) {
  store.Save(kStationSection, "WeightTop", "40000");
  EXPECT_THROW(Print(HamBoxes()), OverflowError);
  EXPECT_TRUE(surface.Ops().empty());
  EXPECT_FALSE(store.Get(kStationSection, "DateTop").has_value()) << "no layout written back";
  store.Save(kStationSection, "WeightTop", "750");
  EXPECT_THROW(Print(HamBoxes("3000000")), PrintError);
  EXPECT_EQ(std::pair(surface.EndedDocuments(), surface.AbortedDocuments()), std::pair(0, 1));
  EXPECT_FALSE(surface.DocumentOpen());
}

// A double click on a reset entry asks first; Yes writes that entry's set, which the next
// label is printed with, No keeps the layout (here a weight line moved to 999, 2000).
TEST_F(WeighedLabel, ResetListAsksThenSetsTheLayoutOfTheEntry) {
  const struct {
    int entry;
    bool yes;
    double top, right;  // of the weight line on the next label
  } rows[] = {{0, true, 750, 3325}, {1, true, 150, 1200}, {1, false, 999, 2000}};
  for (const auto& row : rows) {
    SCOPED_TRACE(kResetEntries[row.entry] + std::string(row.yes ? " Yes" : " No"));
    store.SaveMany(kStationSection, {{"WeightTop", "999"}, {"WeightCenter", "2000"}});
    test::FakeMessages messages;
    messages.answerYes = row.yes;
    ResetLabelLayout(store, messages, row.entry);
    EXPECT_EQ(
        messages.questions,
        std::vector<std::string>{"Check Paper Size in Printer Properties Also|Are You Sure|No"});
    RecordingSurface label;
    Print(HamBoxes(), label);
    const auto texts = label.Texts();
    const auto weight = std::ranges::find(texts, "1.220 kg", &RecordedOp::text);
    ASSERT_NE(weight, texts.end());
    EXPECT_EQ(std::pair(weight->y, weight->x + 8 * 10 * weight->font.size),
              std::pair(row.top, row.right));
  }
}

// A value of its own under each of the 40 layout keys (sizes small, the rest apart from
// each other, fractions where a key takes them), read back off the label: every text
// at its top, size and reference x, the bars at theirs, and every value written back.
TEST_F(WeighedLabel, EveryLayoutKeyIsReadIntoTheLabel) {
  std::map<std::string, double> value;
  for (const std::string& key : LabelLayoutKeys()) {
    const double n = double(value.size());
    value[key] = key.find("Size") != std::string::npos ? 3 + std::floor(n / 2) : 301 + 37 * n;
    if (key.rfind("BarcodeFont", 0) == 0) value[key] += 0.5;
    if (key == "BarcodeWidth") value[key] = 23;
    store.Save(kStationSection, key, GeneralNumber(value[key]));
  }
  LabelBoxes boxes = HamBoxes("3");
  boxes.description2 = "Two";
  boxes.description3 = "Three";
  Print(boxes);

  struct Text {
    const char* text;
    const char *top, *size, *x;  // the keys
    char rule;                   // x is the 'c'entre, 'r'ight edge, 'l'eft edge, or the 'p'rice's
  };
  const Text expected[] = {
      {"201234015857", "BarcodeFontTop", "BarcodeFontSize", "BarcodeFontCenter", 'c'},
      {"Ham", "DescriptionTop1", "DescriptionSize1", "DescriptionCenter1", 'c'},
      {"Two", "DescriptionTop2", "DescriptionSize2", "DescriptionCenter2", 'c'},
      {"Three", "DescriptionTop3", "DescriptionSize3", "DescriptionCenter3", 'c'},
      {"6/12/26", "DateTop", "DateSize", "Datecenter", 'c'},
      {"9/12/26", "UseDateTop", "UseDateSize", "UseDatecenter", 'c'},
      {"1.220 kg", "WeightTop", "WeightSize", "WeightCenter", 'r'},
      {"Storename", "StoreTop1", "StoreSize1", "Storecenter1", 'c'},
      {" ", "StoreTop2", "StoreSize2", "Storecenter2", 'c'},
      {"15.85", "PriceTop", "PriceSize", "Pricecenter", 'p'},
      {"12.99", "PricePerKgTop", "PricePerKgSize", "PricePerKgcenter", 'r'},
      {"#1", "ProductIdTop", "ProductIdSize", "ProductIdcenter", 'l'}};
  const std::vector<RecordedOp> texts = surface.Texts(), bars = surface.Rects();
  ASSERT_EQ(texts.size(), std::size(expected));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const auto& [text, top, size, x, rule] = expected[i];
    const double width = double(texts[i].text.size()) * 10 * value[size];
    const double left = rule == 'c'   ? value[x] - std::floor(width / 2)
                        : rule == 'r' ? value[x] - width
                        : rule == 'p' ? value[x] - std::max(0.0, width - 500)
                                      : value[x];
    EXPECT_EQ(
        std::tuple(texts[i].text, texts[i].y, texts[i].x, texts[i].font),
        std::tuple(std::string(text), value[top], left, RecordedFont{"Tahoma", value[size], true}));
  }
  ASSERT_EQ(bars.size(), 30u);
  EXPECT_EQ(
      std::tuple(bars.front().y, bars.front().y2, bars.back().x2 - bars.front().x),
      std::tuple(value["BarcodeTop"], value["BarcodeTop"] + value["BarcodeHeight"], 95.0 * 23));
  // The first bar a printed "0" (the surface's 10 points) and 20 twips after "BarcodeLefte".
  EXPECT_EQ(bars.front().x, value["BarcodeLefte"] + 10 * 10 + 20);
  for (const auto& [key, stored] : value)
    EXPECT_EQ(store.Get(kStationSection, key), GeneralNumber(stored)) << "written back as read";
}

}  // namespace
}  // namespace corvel
