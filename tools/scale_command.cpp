// corvel scale: a retail scale imitated on a pseudo-terminal. Prints the device the
// station should open on the first line of standard output, then answers the station
// until interrupted (or until the line vanishes on purpose).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tools/options/option_table.h"
#include "tools/sim/scale_simulator.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

// The usage text lives in tools/corvel.help with the manual page.
const char* const kUsage = UsageOf("scale");

constexpr int kMaxDelayMs = 3'600'000;

// The target of the symlink at `path`, or nothing when it is not a symlink.
std::optional<std::string> LinkTarget(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target);
  if (n < 0) return std::nullopt;
  return std::string(target, static_cast<std::size_t>(n));
}

// The --link name: made at start, removed at exit only while it still leads to our
// device. An existing name is taken over only when it is a link to our device or a
// link to a pty that no longer exists (left by a simulator that was killed); any other
// file there belongs to someone else and is refused.
class DeviceLink {
 public:
  DeviceLink(std::string path, std::string device)
      : path_(std::move(path)), device_(std::move(device)) {
    if (path_.empty() || symlink(device_.c_str(), path_.c_str()) == 0) return;
    if (errno != EEXIST)
      throw std::runtime_error("cannot make the link " + path_ + ": " + std::strerror(errno));
    const std::optional<std::string> target = LinkTarget(path_);
    struct stat info {};
    const bool stalePty = target && target->starts_with("/dev/pts/") &&
                          lstat(target->c_str(), &info) != 0 && errno == ENOENT;
    if (!(target == device_ || stalePty))
      throw std::runtime_error(path_ +
                               " already exists and is not a link left by corvel scale; remove "
                               "it or give --link another name");
    // A new link beside it, renamed over it: the name never goes missing.
    const std::string fresh = path_ + ".corvel-scale-" + std::to_string(getpid());
    if (symlink(device_.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), path_.c_str()) != 0) {
      const std::string reason = std::strerror(errno);
      unlink(fresh.c_str());
      throw std::runtime_error("cannot replace the link " + path_ + ": " + reason);
    }
  }
  ~DeviceLink() { Remove(); }
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  void Remove() {
    if (!path_.empty() && LinkTarget(path_) == device_) unlink(path_.c_str());
    path_.clear();
  }

 private:
  std::string path_;
  std::string device_;
};

// Applies one line of standard input: a command, or readings.
void ApplyLine(ScaleSimulator& scale, const std::string& line) {
  std::istringstream words(line);
  std::string word;
  if (!(words >> word)) return;
  if (word == "normal") {
    scale.SetMode(ScaleAnswerMode::Normal);
  } else if (word == "silent") {
    scale.SetMode(ScaleAnswerMode::Silent);
  } else if (word == "junk") {
    scale.SetMode(ScaleAnswerMode::Junk);
  } else if (word.starts_with("ack+")) {
    scale.SetMode(ScaleAnswerMode::AckExtra, word.substr(4));
  } else if (word == "slow") {
    std::string ms;
    words >> ms;
    int delay = 0;
    if (const std::string problem = TakeWholeNumber("slow", ms, delay, 0, kMaxDelayMs);
        !problem.empty())
      std::fprintf(stderr, "corvel scale: %s\n", problem.c_str());
    else
      scale.SetAnswerDelay(std::chrono::milliseconds(delay));
  } else if (word == "baud") {
    std::string on;
    words >> on;
    if (on == "on" || on == "off")
      scale.SetEmulateBaud(on == "on");
    else
      std::fprintf(stderr, "corvel scale: baud takes on or off, not \"%s\"\n", on.c_str());
  } else if (word == "vanish") {
    scale.Vanish();
  } else {
    do {
      try {
        scale.AddReadings(ParseScaleReading(word));
      } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "corvel scale: %s\n", error.what());
      }
    } while (words >> word);
  }
}

int RunScale(const std::vector<std::string>& args) {
  std::vector<ScaleReading> readings;
  bool fromStdin = false;
  std::string link;
  int vanishAfter = -1;
  ScaleAnswerMode mode = ScaleAnswerMode::Normal;
  std::string ackExtra = "X";
  int slowMs = 0;
  bool baud = false;
  bool verbose = false;
  std::string protocol = "enq";
  ScaleOptions options;
  int everyMs = 50;
  const auto setMode = [&mode](ScaleAnswerMode chosen) {
    return [&mode, chosen] { mode = chosen; };
  };
  const OptionTable table{"scale",
                          kUsage,
                          {Switch("--baud", baud), WholeNumber("--slow", slowMs, 0, kMaxDelayMs),
                           Switch("--silent", setMode(ScaleAnswerMode::Silent)),
                           Switch("--junk", setMode(ScaleAnswerMode::Junk)),
                           Value("--ack-extra",
                                 [&](const std::string& text) {
                                   mode = ScaleAnswerMode::AckExtra;
                                   ackExtra = text;
                                   return std::string();
                                 }),
                           WholeNumber("--vanish-after", vanishAfter, 0, INT_MAX),
                           Value("--protocol",
                                 [&](const std::string& text) {
                                   protocol = text;
                                   return MakeScaleProtocol(protocol)
                                              ? std::string()
                                              : "--protocol takes enq, lines or hid, not \"" +
                                                    protocol + "\"";
                                 }),
                           WholeNumber("--every", everyMs, 1, kMaxDelayMs),
                           Value("--request",
                                 [&](const std::string& text) {
                                   options.request = Unescape(text);
                                   return std::string();
                                 }),
                           Value("--link", link), Switch("--verbose", verbose)},
                          [&](const std::string& arg) -> std::string {
                            if (arg == "-") {
                              fromStdin = true;
                              return "";
                            }
                            try {
                              const auto more = ParseScaleReading(arg);
                              readings.insert(readings.end(), more.begin(), more.end());
                              return "";
                            } catch (const std::invalid_argument& error) {
                              return error.what();
                            }
                          },
                          // A reading may be a negative weight.
                          false};
  if (const std::string problem = ParseOptions(table, args); !problem.empty())
    return UsageError(table, problem);

  // SIGINT and SIGTERM end the scale tidily (the symlink goes); every thread inherits
  // the blocked set, so only the wait below sees them.
  sigset_t endSignals;
  sigemptyset(&endSignals);
  sigaddset(&endSignals, SIGINT);
  sigaddset(&endSignals, SIGTERM);
  sigaddset(&endSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

  try {
    ScaleSimulator scale;
    if (protocol != "enq")
      scale.SetProtocol(MakeScaleProtocol(protocol, options), std::chrono::milliseconds(everyMs));
    if (!readings.empty()) scale.SetReadings(readings);
    scale.SetMode(mode, ackExtra);
    scale.SetAnswerDelay(std::chrono::milliseconds(slowMs));
    scale.SetEmulateBaud(baud);
    scale.SetVanishAfterFrames(vanishAfter);
    scale.SetVerbose(verbose);
    DeviceLink deviceLink(link, scale.DevicePath());
    std::printf("%s\n", scale.DevicePath().c_str());
    std::fflush(stdout);
    scale.Start();
    if (fromStdin) {
      std::thread([&scale] {
        std::string line;
        while (std::getline(std::cin, line))
          ApplyLine(scale, line);
      }).detach();
    }
    const timespec tick{0, 50'000'000};
    while (!scale.Vanished()) {
      if (sigtimedwait(&endSignals, nullptr, &tick) > 0) break;
    }
    scale.Stop();
    deviceLink.Remove();
    if (verbose)
      std::fprintf(stderr, "scale: %d ENQ, %d DC1, %d frames\n", scale.EnqCount(), scale.Dc1Count(),
                   scale.FramesSent());
    // The standard-input reader may still be blocked in a read: leave without
    // destroying what it uses.
    std::fflush(stderr);
    std::_Exit(0);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "corvel scale: %s\n", error.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("scale", &RunScale);

}  // namespace
}  // namespace corvel::tools
