#pragma once
// Settings a tool chooses for one run of sheetwise (corvel request's --pdf-folder, --set
// and --first): stored for the run and put back afterwards, so that a trial run leaves
// the shop's settings as it found them. Kept safe when sheetwise fails, crashes or is
// interrupted: the keys are put back whenever the run ends, and SIGINT, SIGTERM and
// SIGHUP sent to the tool reach sheetwise and let the tool put them back before it ends.
#include <signal.h>

#include <optional>
#include <string>
#include <vector>

#include "common/ini_settings_store.h"
#include "tools/requests/request_writer.h"

namespace corvel::tools {

class RunSettings {
 public:
  // Stores `values`, remembering what each key held (or that it was absent). Throws
  // IoError when they cannot be stored; what was stored is then put back already.
  RunSettings(IniSettingsStore& settings, const std::vector<SettingValue>& values);
  // Puts back what Restore did not (a failure is then only lost, never thrown).
  ~RunSettings();
  RunSettings(const RunSettings&) = delete;
  RunSettings& operator=(const RunSettings&) = delete;

  // Puts every key back as it was. Throws IoError naming the keys it could not.
  void Restore();

 private:
  struct Saved {
    std::string section;
    std::string key;
    std::optional<std::string> before;
  };
  IniSettingsStore& settings_;
  std::vector<Saved> saved_;  // the keys changed, in the order stored
};

// While it lives, SIGINT, SIGTERM and SIGHUP do not end the tool at once: they are passed
// on to the program RunPassingSignalsOn runs (one that comes before it starts keeps it
// from starting), so that the tool can still put its settings back. Signals the tool
// was started ignoring stay ignored.
class PassSignalsOn {
 public:
  PassSignalsOn();
  ~PassSignalsOn();
  PassSignalsOn(const PassSignalsOn&) = delete;
  PassSignalsOn& operator=(const PassSignalsOn&) = delete;

  // The first signal received, 0 for none.
  int Received() const;

 private:
  struct sigaction previous_[3]{};
};

// Runs `program` without arguments, its output and input the tool's own, until it ends.
// Returns its exit code, or -1 when it could not be started, crashed or was ended by a
// signal passed on to it.
int RunPassingSignalsOn(const std::string& program);

}  // namespace corvel::tools
