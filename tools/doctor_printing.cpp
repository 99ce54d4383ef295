// The checks of "corvel doctor" on printing: fonts, the print server, each program's
// print targets and the calibration sections.
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/number_text.h"
#include "common/printer_calibration.h"
#include "common/settings_sections.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "tools/doctor_checks.h"

namespace corvel::tools {
namespace {

// The keys that name a runner job's own printer, read before "PrinterName".
constexpr const char* kJobPrinterKeys[] = {"PrinterNameZ",    "PrinterNameP",  "PrinterNameP20",
                                           "PrinterNameS1",   "PrinterNameS2", "PrinterNameS3",
                                           "PrinterNameSheet"};

std::string CalibrationText(const Calibration& calibration) {
  return "Dpi " + (calibration.dpi > 0 ? GeneralNumber(calibration.dpi) : std::string("-")) +
         ", OffsetX " + GeneralNumber(calibration.offsetX) + ", OffsetY " +
         GeneralNumber(calibration.offsetY) + ", BarReduction " +
         std::to_string(calibration.barReduction);
}

// The nearest folder on the way to `path` that exists.
std::string ExistingAncestor(std::string path) {
  while (!path.empty() && !QFileInfo::exists(QString::fromStdString(path))) {
    const auto slash = path.find_last_of('/');
    path = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
  }
  return path.empty() ? "." : path;
}

void CheckPdfFolder(DoctorReport& report, const std::string& who, const PrinterTarget& target) {
  const std::string& folder = target.pdfFolder;
  const QFileInfo info(QString::fromStdString(folder));
  std::string line = who + " prints to PDF folder " + folder;
  if (target.fallback) line += " (no printer on this machine)";
  // A folder still to be made is made inside the nearest folder that exists.
  const std::string at = info.exists() ? folder : ExistingAncestor(folder);
  const bool isFolder = QFileInfo(QString::fromStdString(at)).isDir();
  const bool writable = isFolder && access(at.c_str(), W_OK | X_OK) == 0;
  const std::string why = isFolder ? std::strerror(errno) : "it is not a folder";
  if (!writable) {
    report.Fail(line + ": " + (at == folder ? std::string() : at + " ") +
                "cannot be written: " + why);
  } else if (target.fallback) {
    report.Warn(line);
  } else {
    report.Ok(line + (info.exists() ? "" : " (made when the first document prints)"));
  }
}

void CheckQueue(DoctorReport& report, const std::string& who, const PrinterTarget& target) {
  const std::string shown =
      target.queue.empty() ? "the default printer" : "printer " + target.queue;
  try {
    CupsQueue queue(target.queue);
    const QueueMedia media = queue.DefaultMedia();
    const double reported = queue.DefaultResolution();
    std::string line = who + " prints to printer " + queue.Name() + " (" + media.Describe();
    if (target.calibration.dpi > 0) {
      line += ", Dpi " + GeneralNumber(target.calibration.dpi) + " configured)";
    } else if (reported > 0) {
      line += ", " + GeneralNumber(reported) + " dpi reported by the queue)";
    } else {
      report.Warn(line + "): it reports no resolution and [" + CalibrationSection(queue.Name()) +
                  "] has no Dpi, so bars are not drawn on whole dots");
      return;
    }
    report.Ok(line);
  } catch (const std::exception& error) {
    report.Fail(who + " prints to " + shown + ": " + error.what());
  }
}

void CheckTarget(DoctorReport& report, const std::string& who, const PrinterTarget& target) {
  if (target.kind == PrinterTarget::Kind::PdfFolder)
    CheckPdfFolder(report, who, target);
  else
    CheckQueue(report, who, target);
}

}  // namespace

void CheckFonts(DoctorReport& report) {
  // Each face the labels name, and the faces that stand in for it with the same metrics.
  const std::pair<const char*, std::vector<std::string>> faces[] = {
      {"Tahoma", {"Tahoma"}},
      {"Times New Roman", {"Times New Roman", "Liberation Serif"}},
      {"Arial", {"Arial", "Liberation Sans"}}};
  for (const auto& [face, twins] : faces) {
    const std::string served = ResolvedFontFamily(face);
    const std::string line = std::string("font ") + face + " is served by " + served;
    if (std::find(twins.begin(), twins.end(), served) != twins.end())
      report.Ok(line);
    else
      report.Warn(line + ": texts take other widths than the layouts were made for (install " +
                  (std::string(face) == "Tahoma" ? "fonts-wine" : "fonts-liberation") + ")");
  }
}

void CheckPrinting(DoctorReport& report, const DoctorSetUp& setUp) {
  const SettingsStore& settings = setUp.settings;
  std::vector<std::pair<std::string, PrinterTarget>> targets;
  try {
    targets.emplace_back("tarewise",
                         ChoosePrinterTarget(settings, kStationSection, "tarewise", 60, 40));
    targets.emplace_back("sheetwise", ChoosePrinterTarget(settings, kPrinterSection, "sheetwise"));
    for (const char* key : kJobPrinterKeys) {
      if (!settings.GetOr(kPrinterSection, key, "").empty())
        targets.emplace_back(
            std::string("sheetwise (") + key + ")",
            ChoosePrinterTarget(settings, kPrinterSection, "sheetwise", 0, 0, key));
    }
  } catch (const std::exception& error) {
    report.Fail(std::string("print targets cannot be chosen: ") + error.what());
    return;
  }
  const bool queueUsed = std::any_of(targets.begin(), targets.end(), [](const auto& target) {
    return target.second.kind == PrinterTarget::Kind::CupsQueue;
  });

  std::string defaultQueue, defaultName;
  std::vector<std::string> queues;
  const PrintServerState server = ProbePrintServer(&defaultQueue, &defaultName, &queues);
  const auto unused = [&](const std::string& what) {
    if (queueUsed)
      report.Fail(what + ", and a program prints to a printer");
    else
      report.Warn(what + " (both programs print to PDF folders)");
  };
  switch (server) {
    case PrintServerState::Absent:
      unused("no print server answers");
      break;
    case PrintServerState::Silent:
      unused("the print server takes connections but does not answer");
      break;
    case PrintServerState::NoPrinters:
      unused("the print server has no printer");
      break;
    case PrintServerState::HasPrinters: {
      std::string names;
      for (const std::string& name : queues)
        names += (names.empty() ? "" : ", ") + name;
      if (defaultQueue.empty())
        report.Ok("printers: " + names + "; default " + defaultName);
      else
        report.Warn("printers: " + names + "; no default printer (" + defaultName + " stands in)");
      break;
    }
  }
  for (const auto& [who, target] : targets)
    CheckTarget(report, who, target);

  // Every calibration section, and whether it names a printer there is.
  constexpr std::string_view kPrefix = "Calibration ";
  for (const std::string& section : setUp.sections) {
    if (!section.starts_with(kPrefix)) continue;
    const std::string printer = section.substr(kPrefix.size());
    const Calibration calibration = ReadCalibration(settings, printer);
    const std::string line = "[" + section + "]: " + CalibrationText(calibration);
    if (!calibration.problem.empty())
      report.Warn(line + "; " + calibration.problem);
    else if (printer != kPdfCalibrationName &&
             std::find(queues.begin(), queues.end(), printer) == queues.end())
      report.Warn(line + "; the print server has no printer " + printer);
    else
      report.Ok(line);
  }
}

}  // namespace corvel::tools
