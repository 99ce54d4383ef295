#pragma once
// A retail scale imitated on a pseudo-terminal, for running and testing the station
// without a scale. It opens the pty pair itself; the station opens DevicePath() like any
// serial device. The scale answers ENQ with ACK and DC1 with a 16-character weight
// frame:
//   position 1 STX, 2 blank, 3 "S" stable or "M" in motion, 4 "F" overloaded or blank,
//   5-10 the weight text right-aligned, 11-16 " kg  " and CR.
// Each frame takes the next reading of its script; the last reading repeats. Answers
// can be made slow, absent, junk, or ACK followed by more text, and the 9600-baud line
// speed (10 bits, about 1.04 ms, per character) can be imitated.
//
// Instead of ENQ it can speak another protocol by the station's own description
// (SetProtocol): a line scale answering its request, or a scale that streams lines or
// 6-byte reports every so often on the same pty (standing in for a hidraw node).
//
// The scale runs on a thread of its own (Start) or on the caller's (Run); every setter
// may be called from any thread while it runs, SetProtocol before Start.
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "station/scale/scale_protocol.h"

namespace corvel {

struct ScaleReading {
  bool stable = true;
  bool overloaded = false;
  std::string weight = "0.000";    // positions 5-10, at most six characters
  std::optional<std::string> raw;  // when set, sent as the whole frame instead

  bool operator==(const ScaleReading&) const = default;
};

// One reading from its script form; throws std::invalid_argument with the reason.
//   "1.235", "-0.005", "0"    stable weights
//   "m1.235"                  in motion (the letters m and f may come in any order)
//   "f9.999", "fm", "f"       overloaded (stable or in motion); no weight sends "------"
//   "0x3", "m1.2x2"           the reading for that many frames
//   "raw:TEXT"                the frame TEXT as is; \xNN, \r, \n, \\ are escapes
std::vector<ScaleReading> ParseScaleReading(std::string_view token);

// The frame sent for a reading.
std::string BuildScaleFrame(const ScaleReading& reading);

enum class ScaleAnswerMode {
  Normal,    // ACK to ENQ, frame to DC1
  Silent,    // no answer at all
  Junk,      // junk instead of ACK
  AckExtra,  // ACK followed by more characters
};

// Time one character takes on a 9600-baud line with 8N1 framing (10 bits).
inline constexpr std::chrono::nanoseconds kCharTime9600{1'041'667};

class ScaleSimulator {
 public:
  // Opens the pty pair. Throws std::runtime_error when the system refuses.
  ScaleSimulator();
  ~ScaleSimulator();
  ScaleSimulator(const ScaleSimulator&) = delete;
  ScaleSimulator& operator=(const ScaleSimulator&) = delete;

  // The device the station opens ("/dev/pts/N").
  const std::string& DevicePath() const { return devicePath_; }

  // Speaks `protocol` (nothing: ENQ). A streaming protocol sends one reading every
  // `every`; a line scale with a request answers each request with one line.
  void SetProtocol(std::unique_ptr<ScaleProtocol> protocol,
                   std::chrono::milliseconds every = std::chrono::milliseconds(50));

  void Start();  // answers on a thread of its own
  void Run();    // answers on the calling thread until Stop() or the line vanishes
  void Stop();

  // Replaces the script; the scale then answers with its first reading.
  void SetReadings(std::vector<ScaleReading> readings);
  void AddReadings(const std::vector<ScaleReading>& readings);
  void SetMode(ScaleAnswerMode mode, std::string ackExtra = "X");
  void SetAnswerDelay(std::chrono::milliseconds delay);  // before each answer
  void SetEmulateBaud(bool on);
  // After `frames` more frames, the next request closes the line (the pty vanishes,
  // as a pulled USB adapter does) instead of being answered. Negative: never.
  void SetVanishAfterFrames(int frames);
  // Sends `bytes` to the station at once, unasked (a late or stray answer), as far as
  // the line takes them without waiting; returns how many it took.
  std::size_t SendNow(const std::string& bytes);
  // Closes the line now.
  void Vanish();
  bool Vanished() const { return vanished_; }

  // Logs each request and answer on standard error.
  void SetVerbose(bool on) { verbose_ = on; }

  int EnqCount() const { return enqCount_; }
  int Dc1Count() const { return dc1Count_; }
  int FramesSent() const { return framesSent_; }
  // When the last character of the latest frame was handed to the line.
  std::chrono::steady_clock::time_point LastFrameSentAt() const;

 private:
  // How to answer this turn, as set under the lock; none when the line has just closed
  // because the scale was told to vanish.
  struct Turn {
    ScaleAnswerMode mode;
    std::string ackExtra;
    std::chrono::milliseconds delay;
    bool baud;
  };
  std::optional<Turn> TakeTurn();
  void Loop();
  void Handle(char request);
  // Another protocol than ENQ: requests heard, and one reading sent.
  void Hear(std::string_view bytes);
  void SendReading();
  // Returns when the last character was handed to the line.
  std::chrono::steady_clock::time_point Send(const std::string& text);
  bool Pause(std::chrono::nanoseconds duration);  // false when told to stop
  bool PauseUntil(std::chrono::steady_clock::time_point until);
  void CloseLine();
  ScaleReading NextReading();

  std::string devicePath_;
  int master_ = -1;
  int slaveHold_ = -1;  // keeps the line alive while the station has it closed
  int wake_[2] = {-1, -1};
  std::thread thread_;

  mutable std::mutex mutex_;
  std::deque<ScaleReading> readings_;
  ScaleAnswerMode mode_ = ScaleAnswerMode::Normal;
  std::string ackExtra_ = "X";
  std::chrono::milliseconds delay_{0};
  bool emulateBaud_ = false;
  int vanishAfter_ = -1;
  std::chrono::steady_clock::time_point lastFrameAt_{};
  std::unique_ptr<ScaleProtocol> protocol_;
  std::chrono::milliseconds every_{50};
  std::string heard_;

  std::atomic<bool> stop_{false};
  std::atomic<bool> vanished_{false};
  std::atomic<bool> vanishNow_{false};
  std::atomic<bool> verbose_{false};
  std::atomic<int> enqCount_{0};
  std::atomic<int> dc1Count_{0};
  std::atomic<int> framesSent_{0};
};

}  // namespace corvel
