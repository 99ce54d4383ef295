// The quiet-zone check of "corvel doctor": the station's label as its layout stands and
// each built-in sheet type are drawn with sample data on a measuring surface (nothing
// is printed, no setting is written), and every symbol's quiet zones are checked.
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <string>

#include "barcode/barcode_job.h"
#include "barcode/quiet_zones.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/number_text.h"
#include "common/printer_calibration.h"
#include "common/settings_sections.h"
#include "common/units.h"
#include "common/whole_file.h"
#include "platform/printing.h"
#include "runner/jobs.h"
#include "runner/request_files.h"
#include "runner/sheet_layout.h"
#include "station/station_setup.h"
#include "station/weighed_label.h"
#include "tools/doctor_checks.h"

namespace corvel::tools {
namespace {

class SilentMessages : public MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool defaultYes) override { return defaultYes; }
  void Inform(std::string_view, std::string_view) override {}
};

// A copy of some sections of the settings, so that drawing writes nothing back.
MemorySettingsStore CopyOf(const SettingsStore& settings,
                           std::initializer_list<std::string_view> sections) {
  MemorySettingsStore copy;
  for (const std::string_view section : sections)
    for (const std::string& key : settings.Keys(section))
      copy.Save(section, key, settings.GetOr(section, key, ""));
  return copy;
}

// A surface that measures with the fonts of a PDF page of the target's size: the paper
// of the queue the program prints to when the print check learnt it (with the dots its
// bars are drawn on), else the program's PDF page size and the PDF calibration.
MeasuringSurface MeasuringFor(const SettingsStore& settings, std::string_view section,
                              double widthMm, double heightMm, const DoctorSetUp::Paper* paper) {
  MemorySettingsStore pageOnly;
  pageOnly.Save(section, "PdfFolder", "unused");
  if (const auto size = settings.Get(section, "PdfPageSize"))
    pageOnly.Save(section, "PdfPageSize", *size);
  PrinterTarget target = ChoosePrinterTarget(pageOnly, section, "corvel", widthMm, heightMm);
  target.calibration = ReadCalibration(settings, target);
  if (paper) {
    target.pageWidthMm = paper->widthMm;
    target.pageHeightMm = paper->heightMm;
    target.calibration = {};
    target.calibration.dpi = paper->dpi;
  }
  return MeasuringSurface(MakePrintSurface(target));
}

const DoctorSetUp::Paper* PaperOf(const DoctorSetUp& setUp,
                                  std::initializer_list<const char*> keys) {
  for (const char* key : keys)
    if (const auto found = setUp.papers.find(key); found != setUp.papers.end())
      return &found->second;
  return nullptr;
}

void Report(DoctorReport& report, const std::string& what, const MeasuringSurface& surface) {
  int symbols = 0;
  std::vector<double> modules;
  const auto intrusions =
      FindQuietZoneIntrusions(surface.Boxes(), surface.PageWidth(), &symbols, &modules);
  if (symbols == 0) {
    report.Warn("quiet zones of " + what + ": no symbol was drawn");
    return;
  }
  if (intrusions.empty())
    report.Ok("quiet zones of " + what + ": " + std::to_string(symbols) + " symbol(s) clear");
  for (const QuietZoneIntrusion& intrusion : intrusions)
    report.Warn("quiet zone of " + what + ", " + intrusion.Describe());
  // The module as drawn (whole dots where the printer's resolution is known).
  const double smallest = *std::min_element(modules.begin(), modules.end());
  if (smallest < kSmallestModuleMm * kTwipsPerMm - 1e-6) {
    const double dpi = surface.Dots().dpi;
    report.Warn("module of " + what + ": " + FormatNumber(smallest / kTwipsPerMm, "0.000") + " mm" +
                (dpi > 0 ? " (" + GeneralNumber(std::round(DotsFromTwips(smallest, dpi))) +
                               " dots at " + GeneralNumber(dpi) + " dpi)"
                         : std::string()) +
                ", under the " + FormatNumber(kSmallestModuleMm, "0.000") +
                " mm a till scanner must read: widen the module in the layout");
  }
}

void CheckStationLabel(DoctorReport& report, const DoctorSetUp& setUp) {
  const SettingsStore& settings = setUp.settings;
  MemorySettingsStore copy = CopyOf(settings, {kStationSection});
  MeasuringSurface surface = MeasuringFor(settings, kStationSection, kStationLabelWidthMm,
                                          kStationLabelHeightMm, PaperOf(setUp, {"tarewise"}));
  LabelBoxes boxes;
  boxes.code = "1234";
  boxes.description1 = "Sample Description";
  boxes.price = "12.99";
  boxes.weight = "1.235 KG";
  boxes.itemNumber = "1";
  boxes.storeName1 = kStoreName1Key.Read(copy);
  boxes.storeName2 = kStoreName2Key.Read(copy);
  const FixedClock clock(SystemClock().Now());
  BarcodeJob job;
  PrintWeighedLabel(boxes, copy, surface, clock, job);
  Report(report, "the station's label", surface);
}

void CheckSheet(DoctorReport& report, const DoctorSetUp& setUp, std::int16_t type) {
  const SettingsStore& settings = setUp.settings;
  MemorySettingsStore copy = CopyOf(settings, {kRunnerSection, kPrinterSection});
  const SheetLayout layout = LoadSheetLayout(copy, type);
  // A whole sheet of requests in a folder of its own.
  QTemporaryDir folder;
  if (!folder.isValid()) throw IoError("no temporary folder for the sample requests");
  QByteArray bytes;
  for (int n = 0; n < layout.rows * layout.columns; ++n) {
    BarcodeRequestRecord record;
    record.SetCode("4006381333931");
    record.SetDescription("Sample Item Description");
    record.SetPrice("$12.99");
    bytes.append(reinterpret_cast<const char*>(record.bytes.data()),
                 static_cast<qsizetype>(record.bytes.size()));
  }
  WriteWholeFile(folder.path().toStdString() + std::string(kBarcodeRequestName),
                 std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  copy.Save(kRunnerSection, "Path", folder.path().toStdString());
  copy.Save(kRunnerSection, kFirstLabelKey, "1");  // every label of the sheet is checked
  MeasuringSurface surface = MeasuringFor(settings, kPrinterSection, 0, 0,
                                          PaperOf(setUp, {"PrinterNameSheet", "sheetwise"}));
  SilentMessages messages;
  RunContext run{copy, surface, messages, {}, {}};
  run.notice = [](const std::string&) {};  // what a sheet run would say is no finding here
  try {
    SheetJob(run, type);
  } catch (const EndRun& end) {
    throw Failure(end.reason);  // told as the check not done, with the reason
  }
  Report(report, "sheet type " + std::to_string(type), surface);
}

}  // namespace

void CheckQuietZones(DoctorReport& report, const DoctorSetUp& setUp) {
  try {
    CheckStationLabel(report, setUp);
  } catch (const std::exception& error) {
    report.Warn(std::string("quiet zones of the station's label not checked: ") + error.what());
  }
  for (const std::int16_t type : BuiltInSheetTypes()) {
    try {
      CheckSheet(report, setUp, type);
    } catch (const std::exception& error) {
      report.Warn("quiet zones of sheet type " + std::to_string(type) +
                  " not checked: " + error.what());
    }
  }
}

}  // namespace corvel::tools
