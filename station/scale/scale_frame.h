#pragma once
// The scale's weight frame and what one frame does to the weight box and to Autoprint.
// Pure functions: no port, no window.
//
// Frame positions, counted from 1: 3 is "S" when the load is stable, 4 is "F" when the
// scale is overloaded, 5 to 10 hold the weight in kilograms as text. Nothing else is
// interpreted. A frame may be shorter than expected: missing positions read as empty.
#include <optional>
#include <string>
#include <string_view>

namespace corvel {

inline constexpr char kScaleEnq = 0x05;
inline constexpr char kScaleAck = 0x06;
inline constexpr char kScaleDc1 = 0x11;

// A complete frame has at least this many characters.
inline constexpr int kScaleFrameLength = 15;

inline constexpr const char* kScaleOverloadedText = "Scale Over Loaded";

struct ScaleFrame {
  bool stable = false;      // position 3 is "S"
  bool overloaded = false;  // position 4 is "F"
  // Positions 5 to 10 read as a leading number (0 when there is none); nothing when
  // the text is a number beyond the range of a double, which no scale can weigh.
  std::optional<double> weight;
};

ScaleFrame ParseScaleFrame(std::string_view frame);

// What one frame does, given the weight box text and the state before it.
struct ScaleFrameOutcome {
  std::optional<std::string> weightText;  // the box's new text, when it changes
  bool print = false;  // print one label now (Autoprint on a new load after an empty scale)
  bool armed = false;  // ScaleArmed afterwards, once the print (if any) has succeeded
};

// Evaluates one frame:
// - overloaded: the box shows "Scale Over Loaded";
// - stable: the weight formatted "#0.000 KG" replaces that; a weight of exactly 0 arms
//   Autoprint; a new text with a positive weight prints when armed and Autoprint is on,
//   and disarms; the same text as before changes nothing;
// - not stable: the box is emptied (or shows "Scale Over Loaded").
// A stable frame whose weight cannot be read is treated as a load in motion.
ScaleFrameOutcome EvaluateScaleFrame(const ScaleFrame& frame, std::string_view currentText,
                                     bool armed, bool autoprint);

}  // namespace corvel
