#pragma once
// A scale protocol described once, for the station and for the simulated scale alike:
// the serial line's settings, what each step of a poll sends, when the answer to it is
// whole, how the answer is read into a reading, and what a scale sends for a reading.
// Everything above a reading (the weight box, "Scale Over Loaded", Autoprint, the status
// line, polling on and off) is the same for every protocol: see scale_frame.h and the
// scale link. Plain C++: the simulator uses it without Qt.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/serial_line_settings.h"
#include "station/scale/scale_frame.h"

namespace corvel {

// What the station has read after one step of a poll.
struct ScaleAnswer {
  enum class Kind {
    Next,     // the answer was right: go on with the next step
    Reading,  // a reading: `reading` holds it
    Nothing,  // no reading in this poll (wrong or missing answer)
  };
  Kind kind = Kind::Nothing;
  ScaleFrame reading;
  int skipped = 0;  // lines or reports that did not read
};

// The newest reading a streaming reader found in what it received: the reading (if any),
// how many lines or reports did not read, and where the last whole one ends.
struct NewestReading {
  std::optional<ScaleFrame> reading;
  int skipped = 0;
  std::size_t end = 0;
};

// Takes what `newest` has read off the front of `received` and answers with its reading.
ScaleAnswer TakeNewest(const NewestReading& newest, std::string& received);

// What a scale shows, as the simulated scale sends it.
struct ScaleSample {
  bool stable = true;
  bool overloaded = false;
  std::string weight = "0.000";  // kilograms as text
};

class ScaleProtocol {
 public:
  virtual ~ScaleProtocol() = default;

  virtual std::string_view Name() const = 0;
  virtual SerialLineSettings Line() const { return line_; }
  void SetLine(const SerialLineSettings& line) { line_ = line; }

  // True when the scale sends unasked: what waits at the start of a poll is its newest
  // reading rather than a stale answer, and is kept.
  virtual bool Streams() const = 0;
  // The bytes step `step` of a poll sends first (empty: none).
  virtual std::string Request(int step) const = 0;
  // Whether `received` holds the whole answer to step `step`.
  virtual bool Whole(int step, std::string_view received) const = 0;
  // Reads the answer to step `step` from `received`, removing what it used; what is left
  // (the start of a line or report still arriving) stays for the next poll.
  virtual ScaleAnswer Read(int step, std::string& received) const = 0;
  // Drops from kept input whatever can no longer be the newest reading, so a stream
  // left unread while polling is off takes bounded memory.
  virtual void Forget(std::string& received) const;

  // The scale's side: what it sends for `sample` (the answer to the last step, or one
  // line or report of a stream).
  virtual std::string Send(const ScaleSample& sample) const = 0;

 private:
  SerialLineSettings line_;
};

// What the settings tell a protocol beyond the line (section "Zebra").
struct ScaleOptions {
  std::vector<std::string> stableMarkers{"ST", "S S"};  // "ScaleStableMarker"
  std::vector<std::string> overloadMarkers{"OL"};       // "ScaleOverloadMarker"
  std::string request;  // "ScaleRequest": sent before each poll of a line scale
};

// The protocol named `name` ("enq", "lines", "hid"), or nothing for another name.
std::unique_ptr<ScaleProtocol> MakeScaleProtocol(std::string_view name,
                                                 const ScaleOptions& options = {});
// The names MakeScaleProtocol knows, in the order the documentation gives them.
const std::vector<std::string_view>& ScaleProtocolNames();

// The ENQ / ACK / DC1 protocol: the station's own, and the default.
std::unique_ptr<ScaleProtocol> MakeEnqProtocol();

// A scale that sends lines of text (CR, LF or CR LF), streaming or on request; one
// line read on its own (nothing when it does not read: no number, an unknown unit).
std::unique_ptr<ScaleProtocol> MakeLinesProtocol(const ScaleOptions& options);
std::optional<ScaleFrame> ReadScaleLine(std::string_view line, const ScaleOptions& options);

// A USB point-of-sale scale's 6-byte reports (hidraw); one report read on its own.
inline constexpr std::size_t kHidReportLength = 6;
inline constexpr char kHidReportId = 3;
std::unique_ptr<ScaleProtocol> MakeHidProtocol(const ScaleOptions& options);
std::optional<ScaleFrame> ReadHidReport(std::string_view report);

// Text with the escapes \r, \n, \t, \xNN and \\ replaced by the characters they stand for.
std::string Unescape(std::string_view text);

}  // namespace corvel
