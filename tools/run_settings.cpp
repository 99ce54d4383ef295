#include "tools/run_settings.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <map>

#include "common/errors.h"

extern char** environ;

namespace corvel::tools {

RunSettings::RunSettings(IniSettingsStore& settings, const std::vector<SettingValue>& values)
    : settings_(settings) {
  // Read first, all of them, so a key given twice is put back to what it held before the
  // first; then stored one section at a time.
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> bySection;
  for (const SettingValue& value : values) {
    bool known = false;
    for (const Saved& saved : saved_)
      known = known || (saved.section == value.section && saved.key == value.key);
    if (!known)
      saved_.push_back({value.section, value.key, settings.Get(value.section, value.key)});
    bySection[value.section].push_back({value.key, value.value});
  }
  try {
    for (const auto& [section, pairs] : bySection)
      settings.SaveMany(section, pairs);
  } catch (const Failure&) {
    try {
      Restore();
    } catch (const Failure&) {
      // The first failure is the one to tell; it says the store cannot be written.
    }
    throw;
  }
}

RunSettings::~RunSettings() {
  try {
    Restore();
  } catch (const Failure&) {
    // Restore was not called or already failed and said so.
  }
}

void RunSettings::Restore() {
  std::string failed;
  std::string reason;
  std::vector<Saved> left;
  for (const Saved& saved : saved_) {
    try {
      if (saved.before)
        settings_.Save(saved.section, saved.key, *saved.before);
      else
        settings_.Remove(saved.section, {saved.key});
    } catch (const Failure& failure) {
      failed += (failed.empty() ? "" : ", ") + saved.section + "/" + saved.key;
      reason = failure.what();
      left.push_back(saved);
    }
  }
  saved_ = std::move(left);
  if (!failed.empty())
    throw IoError("the settings " + failed + " set for this run could not be put back: " + reason);
}

namespace {
constexpr int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t child = 0;
volatile sig_atomic_t received = 0;

void PassOn(int signal) {
  if (received == 0) received = signal;
  if (child > 0) ::kill(child, signal);
}
}  // namespace

PassSignalsOn::PassSignalsOn() {
  struct sigaction passOn {};
  passOn.sa_handler = PassOn;
  sigemptyset(&passOn.sa_mask);
  received = 0;
  for (int i = 0; i < 3; ++i) {
    ::sigaction(kPassedOn[i], nullptr, &previous_[i]);
    if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kPassedOn[i], &passOn, nullptr);
  }
}

PassSignalsOn::~PassSignalsOn() {
  for (int i = 0; i < 3; ++i)
    ::sigaction(kPassedOn[i], &previous_[i], nullptr);
}

int PassSignalsOn::Received() const {
  return received;
}

int RunPassingSignalsOn(const std::string& program) {
  if (received != 0) return -1;
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  child = pid;
  if (received != 0) ::kill(pid, received);  // came while it was being started
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  child = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace corvel::tools
