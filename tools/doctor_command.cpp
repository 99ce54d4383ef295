// "corvel doctor": tells an admin what is wrong with this machine's set-up before the
// shop opens, one line per check (OK, WARN or FAIL); exits 1 when anything FAILs.
#include <QDir>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ini_settings_store.h"
#include "tools/doctor_checks.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

const char* const kUsage = UsageOf("doctor");

int RunDoctor(const std::vector<std::string>& args) {
  std::string stationFolder = QDir::currentPath().toStdString();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--station-folder" && i + 1 < args.size()) {
      stationFolder = args[++i];
    } else {
      std::fprintf(stderr, "corvel doctor: unexpected argument \"%s\"\n%s", args[i].c_str(),
                   kUsage);
      return 2;
    }
  }
  DoctorReport report;
  const IniSettingsStore file(IniSettingsStore::DefaultPath());
  const MemorySettingsStore none;
  std::vector<std::string> sections;
  const bool readable = CheckSettingsFile(report, file.Path(), sections, file);
  DoctorSetUp setUp{
      readable ? static_cast<const SettingsStore&>(file) : none, sections, stationFolder, {}};
  CheckFonts(report);
  CheckLocale(report);
  CheckPrinting(report, setUp);
  CheckScale(report, setUp);
  CheckProductFile(report, setUp);
  CheckRequestFolder(report, setUp);
  CheckQuietZones(report, setUp);
  return report.Fails() > 0 ? 1 : 0;
}

const bool registered = RegisterSubcommand("doctor", &RunDoctor);

}  // namespace
}  // namespace corvel::tools
