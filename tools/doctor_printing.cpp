// The checks of "corvel doctor" on printing: fonts, the print server, each program's
// print targets and the calibration sections.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/page_size.h"
#include "common/printer_calibration.h"
#include "common/settings_sections.h"
#include "common/text.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "runner/dispatch.h"
#include "runner/job_table.h"
#include "station/station_setup.h"
#include "tools/doctor_checks.h"

namespace corvel::tools {
namespace {

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

// True when a new folder can be made in `parent` (one is made and removed at once): a
// folder the programs make on first use must be makeable, whatever the permission bits
// say (/proc passes a write-permission test as root).
bool CanMakeFolderIn(const std::string& parent, std::string& why) {
  const QString probe = QString::fromStdString(parent) + "/.corvel-doctor-" +
                        QString::number(static_cast<long long>(getpid()));
  if (::mkdir(probe.toLocal8Bit().constData(), 0700) != 0) {
    why = std::strerror(errno);
    return false;
  }
  ::rmdir(probe.toLocal8Bit().constData());
  return true;
}

void CheckPdfFolder(DoctorReport& report, const std::string& who, const PrinterTarget& target) {
  const std::string& folder = target.pdfFolder;
  const QFileInfo info(QString::fromStdString(folder));
  std::string line = who + " prints to PDF folder " + folder;
  if (target.fallback) line += " (no printer on this machine)";
  // A folder still to be made is made inside the nearest folder that exists.
  const std::string at = info.exists() ? folder : ExistingAncestor(folder);
  const bool isFolder = QFileInfo(QString::fromStdString(at)).isDir();
  std::string why = isFolder ? std::string() : "it is not a folder";
  const bool writable = isFolder && (info.exists() ? access(at.c_str(), W_OK | X_OK) == 0 ||
                                                         (why = std::strerror(errno), false)
                                                   : CanMakeFolderIn(at, why));
  if (!writable) {
    report.Fail(line + ": " + (at == folder ? std::string() : at + " ") +
                (info.exists() ? "cannot be written: " : "cannot hold a new folder: ") + why);
  } else if (target.fallback) {
    report.Warn(line);
  } else {
    report.Ok(line + (info.exists() ? "" : " (made when the first document prints)"));
  }
}

// What the print server said so far: once it has not answered, other queues are not
// asked (each would wait as long again).
struct ServerAnswers {
  bool silent = false;
};

// Paper whose shorter side is at least this long is office paper (A5 and up), not labels.
constexpr double kOfficeShortSideMm = 140;

void CheckQueue(DoctorReport& report, const std::string& who, const std::string& key,
                const PrinterTarget& target, bool labels, ServerAnswers& server,
                DoctorSetUp& setUp) {
  const std::string shown =
      target.queue.empty() ? "the default printer" : "printer " + target.queue;
  if (server.silent) {
    report.Fail(who + " prints to " + shown + ": not asked (the print server did not answer)");
    return;
  }
  try {
    CupsQueue queue(target.queue);
    const QueueMedia media = queue.DefaultMedia();
    const double reported = queue.DefaultResolution();
    const double dpi = target.calibration.dpi > 0 ? target.calibration.dpi : reported;
    setUp.papers[key] = {media.widthMm - media.leftMm - media.rightMm,
                         media.heightMm - media.topMm - media.bottomMm, dpi};
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
    if (labels && std::min(media.widthMm, media.heightMm) >= kOfficeShortSideMm)
      report.Warn(line + "): " +
                  (key == "tarewise"
                       ? "the station's labels go to office-size paper; name the label printer "
                         "in [Zebra] PrinterName"
                       : "roll labels (\"Z\") go to office-size paper; name the label printer "
                         "in [Printer] PrinterNameZ"));
    else
      report.Ok(line);
  } catch (const PrintServerSilent& error) {
    server.silent = true;
    report.Fail(who + " prints to " + shown + ": " + error.what());
  } catch (const std::exception& error) {
    report.Fail(who + " prints to " + shown + ": " + error.what());
  }
}

// "Z", "sheets", "shelf cards S1", for people.
std::string JobName(const JobSpec& job) {
  if (job.kind == JobKind::Sheet) return "sheets";
  if (job.kind == JobKind::ShelfCards) return "shelf cards " + std::string(job.selector);
  return std::string(job.selector);
}

// Every "PdfPageSize..." key of a program's section that does not read as a size and
// is ignored for it (a runner job's own page-size key fails its job: told with the job).
void CheckPageSizeKeys(DoctorReport& report, const SettingsStore& settings,
                       std::string_view section) {
  for (const std::string& key : settings.Keys(section)) {
    if (!key.starts_with("PdfPageSize")) continue;
    if (section == kPrinterSection &&
        std::any_of(JobTable().begin(), JobTable().end(),
                    [&](const JobSpec& job) { return job.pageKey == key; }))
      continue;
    const std::string value = settings.GetOr(section, key, "");
    if (!ParsePageSizeMm(value))
      report.Warn(SettingText(section, key, value) +
                  " is no page size (WIDTHxHEIGHT in millimetres, such as 60x40): the default "
                  "size is used");
  }
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

void CheckPrinting(DoctorReport& report, DoctorSetUp& setUp) {
  const SettingsStore& settings = setUp.settings;
  // Each target, and whether it prints labels (the station's, and roll labels "Z").
  struct Use {
    std::string who;
    std::string key;  // of setUp.papers
    PrinterTarget target;
    bool labels = false;
  };
  std::vector<Use> targets;
  try {
    targets.push_back({"tarewise", "tarewise", StationTarget(settings), true});
    const bool ownRollPrinter = !settings.GetOr(kPrinterSection, "PrinterNameZ", "").empty();
    targets.push_back({"sheetwise", "sheetwise",
                       ChoosePrinterTarget(settings, kPrinterSection, "sheetwise"),
                       !ownRollPrinter});
    // Every job as the runner chooses its printer; a job whose page size does not read
    // ends with status 1 (said once per key).
    std::set<std::string_view> toldKeys;
    for (const JobSpec& job : JobTable()) {
      PrinterTarget target;
      try {
        target = TargetFor(settings, job.selector);
      } catch (const Failure& error) {
        if (toldKeys.insert(job.pageKey).second)
          report.Fail("sheetwise job " + JobName(job) + " fails: " + error.what());
        continue;
      }
      const std::string key(job.printerKey);
      if (key.empty() || settings.GetOr(kPrinterSection, key, "").empty()) continue;
      targets.push_back({"sheetwise (" + key + ")", key, target, job.kind == JobKind::RollLabels});
    }
  } catch (const std::exception& error) {
    report.Fail(std::string("print targets cannot be chosen: ") + error.what());
    return;
  }
  const bool queueUsed = std::any_of(targets.begin(), targets.end(), [](const Use& use) {
    return use.target.kind == PrinterTarget::Kind::CupsQueue;
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
  ServerAnswers answers;
  answers.silent = server == PrintServerState::Silent;
  for (const Use& use : targets) {
    if (use.target.kind == PrinterTarget::Kind::PdfFolder)
      CheckPdfFolder(report, use.who, use.target);
    else
      CheckQueue(report, use.who, use.key, use.target, use.labels, answers, setUp);
  }
  CheckPageSizeKeys(report, settings, kStationSection);
  CheckPageSizeKeys(report, settings, kPrinterSection);

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
