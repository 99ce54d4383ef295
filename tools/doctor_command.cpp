// "corvel doctor": tells an admin what is wrong with this machine's set-up before the
// shop opens, one line per check (OK, WARN or FAIL); exits 1 when anything FAILs.
#include <QDir>
#include <string>
#include <vector>

#include "common/ini_settings_store.h"
#include "tools/doctor_checks.h"
#include "tools/options/option_table.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

const char* const kUsage = UsageOf("doctor");

int RunDoctor(const std::vector<std::string>& args) {
  std::string stationFolder = QDir::currentPath().toStdString();
  const OptionTable table{"doctor", kUsage, {Value("--station-folder", stationFolder)}};
  if (const std::string problem = ParseOptions(table, args); !problem.empty())
    return UsageError(table, problem);
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
