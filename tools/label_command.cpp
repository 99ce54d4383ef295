// "corvel label": prints one weighed-item label without the station window, through the
// same label code, with the boxes filled as the window fills them from a product of
// "pdlist" (or from options). For layout tuning and demonstrations.
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "common/number_text.h"
#include "common/printer_calibration.h"
#include "common/text.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "station/label_barcode.h"
#include "station/label_box_table.h"
#include "station/label_layout.h"
#include "station/product_file.h"
#include "station/station_journal.h"
#include "station/station_setup.h"
#include "station/weighed_label.h"
#include "tools/options/option_table.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

// The usage text lives in tools/corvel.help with the manual page.
const char* const kUsage = UsageOf("label");

const std::set<std::string> kNumberOptions = {"--price",  "--tare", "--shelf-life", "--weight",
                                              "--record", "--flag", "--item"};

// The FLAG box as the station keeps it; a number beyond any double becomes 20 too.
std::string FlagOptionText(const std::string& typed) {
  try {
    return FlagBoxText(ReadLeadingNumber(typed));
  } catch (const OverflowError&) {
    return FlagBoxText(20);
  }
}

// A calendar date written YYYY-MM-DD (2026-02-29 is refused, 2028-02-29 taken).
bool ParseDate(const std::string& text, LocalTime& time) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  const auto part = [&](std::size_t at, std::size_t length, int& value) {
    const char* end = text.data() + at + length;
    const auto [stop, error] = std::from_chars(text.data() + at, end, value);
    return error == std::errc() && stop == end && text[at] != '-';
  };
  int year = 0, month = 0, day = 0;
  if (!part(0, 4, year) || !part(5, 2, month) || !part(8, 2, day)) return false;
  if (!std::chrono::year_month_day(std::chrono::year(year), std::chrono::month(month),
                                   std::chrono::day(day))
           .ok())
    return false;
  time = MakeLocalTime(year, month, day, 12);
  return true;
}

// The options that fill number boxes take a finite number written with a period, as a
// box holds it; the weight may carry its unit ("1.235 KG"). A box that reads as 0
// because of a typing slip would print a wrong label.
std::string NumberProblem(const std::string& option, const std::string& value) {
  std::string_view text = TrimBlanks(value);
  if (option == "--weight" && (text.ends_with("KG") || text.ends_with("kg")))
    text = TrimBlanks(text.substr(0, text.size() - 2));
  double number = 0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!text.empty() && error == std::errc() && stop == text.data() + text.size() &&
      std::isfinite(number))
    return "";
  return option + " takes a number such as 1.235, not \"" + value + "\"";
}

// Follows what a background surface tells of its last document until it has printed, will
// not be printed, or is held until its queue is resumed.
class JobFollower {
 public:
  struct Outcome {
    bool printed = false, refused = false, held = false;
    std::string text = "no answer yet";
  };
  PrintStatus Callback() {
    return [this](const std::string& text, bool refused) {
      const std::lock_guard lock(mutex_);
      outcome_.text = text;
      outcome_.refused = refused;
      outcome_.printed = text.starts_with("printed");
      outcome_.held = text.starts_with("held");
      changed_.notify_all();
    };
  }
  Outcome WaitForEnd(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait,
                      [&] { return outcome_.printed || outcome_.refused || outcome_.held; });
    return outcome_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Outcome outcome_;
};

QStringList PdfFiles(const std::string& folder) {
  return QDir(QString::fromStdString(folder)).entryList({"*.pdf"}, QDir::Files, QDir::Name);
}

int RunLabel(const std::vector<std::string>& args) {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  const auto valueRow = [&values](const char* option) {
    return Value(option, [&values, option](const std::string& text) {
      values[option] = text;
      return std::string();
    });
  };
  // The boxes' own options, then those that choose the product, the day and the target.
  OptionTable table{"label", kUsage, {}};
  for (const LabelBoxRow& row : LabelBoxTable()) {
    if (row.option[0] == '\0') continue;
    const std::string option = row.option;
    table.options.push_back(row.tick ? Switch(option, [&flags, option] { flags.insert(option); })
                                     : valueRow(row.option));
  }
  for (const char* option : {"--pdlist", "--record", "--date", "--pdf-folder"})
    table.options.push_back(valueRow(option));
  if (const std::string problem = ParseOptions(table, args); !problem.empty())
    return UsageError(table, problem);
  if (!values.count("--weight")) return UsageError(table, "--weight is required");
  if (values.count("--pdlist") != values.count("--record"))
    return UsageError(table, "--pdlist and --record go together");
  for (const auto& [option, value] : values) {
    if (!kNumberOptions.count(option)) continue;
    if (const std::string problem = NumberProblem(option, value); !problem.empty())
      return UsageError(table, problem);
  }
  LocalTime day;
  if (values.count("--date") && !ParseDate(values["--date"], day))
    return UsageError(table,
                      "--date takes a calendar date YYYY-MM-DD, not \"" + values["--date"] + "\"");

  try {
    IniSettingsStore settings(IniSettingsStore::DefaultPath());
    // The boxes as the window fills them: the store names from the settings, the
    // product's fields, then what the options say.
    LabelBoxes boxes;
    boxes.itemNumber = "1";
    boxes.storeName1 = kStoreName1Key.Read(settings);
    boxes.storeName2 = kStoreName2Key.Read(settings);
    if (values.count("--pdlist")) {
      ProductStation products(values["--pdlist"]);
      // Loading a missing or near-empty file would create one; this command only reads.
      const QFileInfo file(QString::fromStdString(values["--pdlist"]));
      if (!file.exists() || file.size() <= 10)
        throw IoError("no product in \"" + values["--pdlist"] + "\"");
      LoadProductFile(products);
      const double record = ReadLeadingNumber(values["--record"]);
      if (!(record >= 1 && record <= static_cast<double>(products.Count())) ||
          record != std::floor(record)) {
        throw Failure("record " + values["--record"] + " is not in the product file (1.." +
                      std::to_string(products.Count()) + ")");
      }
      products.selected = static_cast<std::uint64_t>(record);
      const ProductBoxTexts shown = *ShowSelectedProduct(products);
      for (const LabelBoxRow& row : LabelBoxTable()) {
        if (row.productText) boxes.*row.text = shown.*row.productText;
        if (row.productTick) boxes.*row.tick = shown.*row.productTick;
      }
      boxes.itemNumber = GeneralNumber(record);
    }
    for (const LabelBoxRow& row : LabelBoxTable()) {
      if (row.text && values.count(row.option)) boxes.*row.text = values[row.option];
      if (row.tick && flags.count(row.option)) boxes.*row.tick = true;
    }
    // The FLAG box as the window keeps it.
    boxes.flag = FlagOptionText(boxes.flag);

    FixedClock clock(SystemClock().Now());
    if (values.count("--date")) clock.Set(day);

    PrinterTarget target = StationTarget(settings);
    if (values.count("--pdf-folder")) {
      target.kind = PrinterTarget::Kind::PdfFolder;
      target.pdfFolder = values["--pdf-folder"];
      QDir().mkpath(QString::fromStdString(target.pdfFolder));
      target.calibration = ReadCalibration(settings, target);
    }
    const QStringList before =
        target.kind == PrinterTarget::Kind::PdfFolder ? PdfFiles(target.pdfFolder) : QStringList{};

    BarcodeJob job;
    // On a queue the label is followed to its end (within the print server's bound), so
    // a label the printer stops is not reported as printed.
    JobFollower follower;
    const auto surface = target.kind == PrinterTarget::Kind::CupsQueue
                             ? MakeBackgroundPrintSurface(target, follower.Callback())
                             : MakePrintSurface(target);
    PrintWeighedLabel(boxes, settings, *surface, clock, job);
    // The label's row in the journal, with its outcome as far as it is known.
    const auto journal = [&](const std::string& status, bool refused) {
      LabelEntry entry = JournalEntryOf(boxes, job, clock, target);
      if (!status.empty()) {
        const LabelOutcome outcome = OutcomeOfStatus(status, refused);
        entry.outcome = outcome.outcome, entry.reason = outcome.reason, entry.job = outcome.job;
      }
      if (const std::string problem = JournalOneLabel(settings, clock, entry); !problem.empty())
        std::fprintf(stderr, "corvel label: the label is not in the journal: %s\n",
                     problem.c_str());
    };
    if (target.kind != PrinterTarget::Kind::CupsQueue) journal("", false);
    if (target.kind == PrinterTarget::Kind::CupsQueue) {
      const JobFollower::Outcome outcome = follower.WaitForEnd(3 * kPrintServerTimeout);
      journal(outcome.text, outcome.refused);
      if (outcome.refused) throw PrintError(outcome.text);
      if (!outcome.printed) {
        std::printf("label sent to %s: %s\n", target.Describe().c_str(), outcome.text.c_str());
        return 0;
      }
    }
    std::printf("label printed to %s\n", target.Describe().c_str());
    if (target.kind == PrinterTarget::Kind::PdfFolder) {
      for (const QString& file : PdfFiles(target.pdfFolder)) {
        if (!before.contains(file))
          std::printf(
              "%s\n",
              QDir(QString::fromStdString(target.pdfFolder)).filePath(file).toStdString().c_str());
      }
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "corvel label: the label was not printed: %s\n", error.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("label", &RunLabel);

}  // namespace
}  // namespace corvel::tools
