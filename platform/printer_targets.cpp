// Choosing where a program's documents go, and making the surface that prints there.
#include <QDir>
#include <QString>
#include <map>
#include <string>
#include <string_view>

#include "common/page_size.h"
#include "common/printer_calibration.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"

namespace corvel {
namespace {

// The bin number of a key "InputSlot<n>" (n from 1 to 32767, written without leading
// zeros), or 0 for any other key.
int InputSlotBin(std::string_view key) {
  constexpr std::string_view kPrefix = "InputSlot";
  if (!key.starts_with(kPrefix)) return 0;
  const std::string_view digits = key.substr(kPrefix.size());
  if (digits.empty() || digits.size() > 5 || digits.front() == '0') return 0;
  int bin = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    bin = bin * 10 + (c - '0');
  }
  return bin <= 32767 ? bin : 0;
}

std::map<int, std::string> ReadInputSlots(const SettingsStore& settings, std::string_view section) {
  std::map<int, std::string> found;
  for (const std::string& key : settings.Keys(section)) {
    const int bin = InputSlotBin(key);
    if (bin == 0) continue;
    if (const auto slot = settings.Get(section, key)) {
      found[bin] = QString::fromStdString(*slot).trimmed().toStdString();
    }
  }
  return found;
}

}  // namespace

std::string DefaultPdfFolder() {
  return QDir(QDir::homePath()).filePath("Corvel/PDF").toStdString();
}

bool HavePrinters() {
  return ProbePrintServer() == PrintServerState::HasPrinters;
}

bool FallsBackToPdf(PrintServerState state, bool serverInstalled) {
  switch (state) {
    case PrintServerState::HasPrinters:
    case PrintServerState::Silent:
      return false;
    case PrintServerState::NoPrinters:
      return true;
    case PrintServerState::Absent:
      break;
  }
  return !serverInstalled;
}

PrinterTarget ChoosePrinterTarget(const SettingsStore& settings, std::string_view section,
                                  std::string_view program, double defaultPageWidthMm,
                                  double defaultPageHeightMm, std::string_view jobPrinterKey) {
  PrinterTarget target;
  target.program = std::string(program);
  target.pageWidthMm = defaultPageWidthMm;
  target.pageHeightMm = defaultPageHeightMm;
  if (const auto size = settings.Get(section, "PdfPageSize")) {
    if (const auto mm = ParsePageSizeMm(*size)) {
      target.pageWidthMm = mm->first;
      target.pageHeightMm = mm->second;
    }
  }

  // Read for every target: the print dialog may turn a PDF folder into a queue.
  target.inputSlots = ReadInputSlots(settings, section);

  const std::string folder = settings.Get(section, "PdfFolder").value_or("");
  if (!folder.empty()) {
    target.kind = PrinterTarget::Kind::PdfFolder;
    target.pdfFolder = folder;
    target.calibration = ReadCalibration(settings, target);
    return target;
  }
  std::string queue;
  if (!jobPrinterKey.empty()) queue = settings.Get(section, jobPrinterKey).value_or("");
  if (queue.empty()) queue = settings.Get(section, "PrinterName").value_or("");
  target.kind = PrinterTarget::Kind::CupsQueue;
  if (!queue.empty()) {
    // A named printer is used as named: when it cannot be reached, printing fails and
    // says so; nothing goes elsewhere.
    target.queue = queue;
    target.calibration = ReadCalibration(settings, target);
    return target;
  }
  std::string defaultName;
  const PrintServerState state = ProbePrintServer(&target.queue, &defaultName);
  if (state == PrintServerState::HasPrinters) {
    target.calibration =
        ReadCalibration(settings, target.queue.empty() ? defaultName : target.queue);
    return target;
  }
  // A server that does not answer, or is installed and stopped: printing on it fails
  // within the bounded wait and says why.
  if (!FallsBackToPdf(state, PrintServerInstalled())) return target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.queue.clear();
  target.pdfFolder = DefaultPdfFolder();
  target.fallback = true;
  target.calibration = ReadCalibration(settings, target);
  QDir().mkpath(QString::fromStdString(target.pdfFolder));
  return target;
}

std::unique_ptr<PrintSurface> MakePrintSurface(const PrinterTarget& target) {
  return std::make_unique<QtPrintSurface>(target);
}

std::unique_ptr<PrintSurface> MakeBackgroundPrintSurface(const PrinterTarget& target,
                                                         PrintStatus status, PaperReport paper) {
  return std::make_unique<QtPrintSurface>(target, std::move(status), std::move(paper));
}

}  // namespace corvel
