// corvel request: a stand-in for the point-of-sale suite. Writes "/Barprint" and
// "/ShelfPrint" into a data folder from a JSON or CSV description, sets "Path",
// "Barcodetype" and further keys in the settings store, and starts sheetwise.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/ini_settings_store.h"
#include "runner/run_state.h"
#include "runner/sheet_layout.h"
#include "tools/options/option_table.h"
#include "tools/requests/request_writer.h"
#include "tools/run_settings.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {
// The usage text lives in tools/corvel.help with the manual page.
const char* const kUsage = UsageOf("request");

struct Options {
  std::string file;
  std::string data;
  std::string type;
  std::string format;
  std::string dump;
  std::vector<SettingValue> settings;
  bool cut = false;
  bool keepShelf = false;
  bool run = true;
  bool layouts = false;
};

// The options and the request file, read into `options`.
OptionTable RequestOptions(Options& options) {
  return {
      "request",
      kUsage,
      {Value("--data", options.data), Value("--type", options.type),
       Value("--format", options.format), Value("--dump", options.dump),
       Value("--pdf-folder",
             [&options](const std::string& folder) {
               options.settings.push_back(
                   {std::string(kPrinterSection), "PdfFolder",
                    QFileInfo(QString::fromStdString(folder)).absoluteFilePath().toStdString()});
               return std::string();
             }),
       Value("--first",
             [&options](const std::string& first) -> std::string {
               if (first.empty() || first.find_first_not_of("0123456789") != std::string::npos ||
                   first.find_first_not_of('0') == std::string::npos)
                 return "--first wants a label number from 1, not \"" + first + "\"";
               options.settings.push_back(
                   {std::string(kRunnerSection), std::string(kFirstLabelKey), first});
               return "";
             }),
       Value("--set",
             [&options](const std::string& setting) -> std::string {
               const std::size_t slash = setting.find('/');
               const std::size_t eq = setting.find('=');
               if (slash == std::string::npos || eq == std::string::npos || slash > eq ||
                   slash == 0 || eq == slash + 1)
                 return "--set wants SECTION/KEY=VALUE, not \"" + setting + "\"";
               options.settings.push_back({setting.substr(0, slash),
                                           setting.substr(slash + 1, eq - slash - 1),
                                           setting.substr(eq + 1)});
               return "";
             }),
       Switch("--cut", options.cut), Switch("--keep-shelf", options.keepShelf),
       Switch("--no-run", [&options] { options.run = false; }),
       Switch("--layouts", options.layouts)},
      [&options](const std::string& file) -> std::string {
        if (!options.file.empty()) return "only one request file, not also " + file;
        options.file = file;
        return "";
      }};
}

bool ReadInput(const std::string& name, std::string& text, std::string& problem) {
  if (name == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  QFile file(QString::fromStdString(name));
  if (!file.open(QIODevice::ReadOnly)) {
    problem = "cannot read " + name + ": " + file.errorString().toStdString();
    return false;
  }
  text = file.readAll().toStdString();
  return true;
}

bool IsJson(const Options& options, const std::string& text) {
  if (!options.format.empty()) return options.format == "json";
  const QString name = QString::fromStdString(options.file).toLower();
  if (name.endsWith(".json")) return true;
  if (name.endsWith(".csv")) return false;
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string::npos && text[first] == '{';
}

// sheetwise beside this program (the build tree keeps it in ../runner), else on PATH.
QString FindSheetwise() {
  const QString here = QCoreApplication::applicationDirPath();
  for (const QString& candidate : {here + "/sheetwise", here + "/../runner/sheetwise"}) {
    const QFileInfo info(candidate);
    if (info.isFile() && info.isExecutable()) return info.canonicalFilePath();
  }
  return QStandardPaths::findExecutable("sheetwise");
}

// Starts sheetwise and returns its exit code. The settings chosen for this run are put
// back however it ends; a signal that interrupted it ends the tool as 128 + its number.
int StartSheetwise(RunSettings& runSettings, const PassSignalsOn& passOn) {
  const QString program = FindSheetwise();
  int status = 1;
  if (program.isEmpty()) {
    std::fprintf(stderr, "corvel request: sheetwise not found beside corvel or on PATH\n");
  } else {
    status = RunPassingSignalsOn(program.toStdString());
    if (passOn.Received() != 0) {
      std::fprintf(stderr, "corvel request: interrupted (signal %d)\n", passOn.Received());
      status = 128 + passOn.Received();
    } else if (status < 0) {
      std::fprintf(stderr, "corvel request: sheetwise could not start or crashed\n");
      status = 1;
    }
  }
  try {
    runSettings.Restore();
  } catch (const Failure& failure) {
    std::fprintf(stderr, "corvel request: %s\n", failure.what());
    if (status == 0) status = 1;
  }
  return status;
}

int RunRequest(const std::vector<std::string>& args) {
  Options options;
  const OptionTable table = RequestOptions(options);
  std::string problem = ParseOptions(table, args);
  if (problem.empty() && options.dump.empty() && options.file.empty()) problem = "no request file";
  if (!problem.empty()) return UsageError(table, problem);
  if (!options.dump.empty()) {
    // Written by its length: a field may hold zero bytes.
    const std::string dump = DumpRequests(options.dump, options.layouts);
    if (std::fwrite(dump.data(), 1, dump.size(), stdout) != dump.size() ||
        std::fflush(stdout) != 0) {
      std::fprintf(stderr, "corvel request: cannot write the listing: %s\n", std::strerror(errno));
      return 1;
    }
    return 0;
  }
  std::string text;
  if (!ReadInput(options.file, text, problem)) return UsageError(table, problem);
  // Past a file size limit a write must fail and say so, not end the process.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    RequestDescription request = IsJson(options, text) ? ParseRequestJson(text, options.cut)
                                                       : ParseRequestCsv(text, options.cut);
    std::string data = options.data.empty() ? request.path.value_or("") : options.data;
    if (data.empty())
      return UsageError(table, "no data folder: give --data DIR or \"path\" in the JSON");
    const QString folder = QFileInfo(QString::fromStdString(data)).absoluteFilePath();
    if (!QDir().mkpath(folder)) {
      std::fprintf(stderr, "corvel request: cannot create %s\n", qPrintable(folder));
      return 1;
    }
    const std::string path = folder.toStdString();
    if (!request.barcodes && !request.shelf)
      return UsageError(table, "the request holds neither barcodes nor shelf cards");
    WriteRequestFiles(path, request, options.keepShelf);

    // What the suite itself would set stays: "Path", "Barcodetype" and the description's
    // settings. The options' keys are this tool's choice for one run of sheetwise, put
    // back afterwards; without a run (--no-run) they are kept for the run to come.
    IniSettingsStore settings(IniSettingsStore::DefaultPath());
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> bySection;
    bySection[std::string(kRunnerSection)].push_back({"Path", path});
    const std::string type = options.type.empty() ? request.barcodeType.value_or("") : options.type;
    if (!type.empty()) bySection[std::string(kRunnerSection)].push_back({"Barcodetype", type});
    for (const SettingValue& setting : request.settings)
      bySection[setting.section].push_back({setting.key, setting.value});
    if (!options.run) {
      for (const SettingValue& setting : options.settings)
        bySection[setting.section].push_back({setting.key, setting.value});
    }
    for (const auto& [section, values] : bySection)
      settings.SaveMany(section, values);
    const PassSignalsOn passOn;
    RunSettings runSettings(settings, options.run ? options.settings : std::vector<SettingValue>{});

    std::fprintf(stderr, "corvel request: %zu barcode and %zu shelf records in %s%s\n",
                 request.barcodes ? request.barcodes->size() : 0,
                 request.shelf ? request.shelf->size() : 0, path.c_str(),
                 type.empty() ? "" : (", Barcodetype " + type).c_str());
    return options.run ? StartSheetwise(runSettings, passOn) : 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "corvel request: %s\n", failure.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("request", &RunRequest);
}  // namespace
}  // namespace corvel::tools
