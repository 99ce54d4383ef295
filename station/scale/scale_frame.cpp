#include "station/scale/scale_frame.h"

#include "common/errors.h"
#include "common/number_text.h"

namespace corvel {
namespace {

// Position `pos` (from 1) of the frame, or 0 beyond its end.
char At(std::string_view frame, std::size_t pos) {
  return pos <= frame.size() ? frame[pos - 1] : '\0';
}

}  // namespace

ScaleFrame ParseScaleFrame(std::string_view frame) {
  ScaleFrame parsed;
  parsed.stable = At(frame, 3) == 'S';
  parsed.overloaded = At(frame, 4) == 'F';
  const std::string_view weightText = frame.size() > 4 ? frame.substr(4, 6) : std::string_view{};
  try {
    parsed.weight = ReadLeadingNumber(weightText);
  } catch (const OverflowError&) {
    parsed.weight.reset();
  }
  return parsed;
}

ScaleFrameOutcome EvaluateScaleFrame(const ScaleFrame& frame, std::string_view currentText,
                                     bool armed, bool autoprint) {
  ScaleFrameOutcome outcome;
  outcome.armed = armed;
  std::string text(currentText);
  if (frame.overloaded) text = kScaleOverloadedText;

  if (frame.stable && frame.weight) {
    const double weight = *frame.weight;
    if (weight == 0) outcome.armed = true;
    const std::string weightText = FormatNumber(weight, "#0.000 KG");
    // The overload message never equals a weight, so an overloaded stable frame always
    // writes the weight over it.
    if (weightText != text) {
      text = weightText;
      if (outcome.armed && weight > 0 && autoprint) {
        outcome.print = true;
        outcome.armed = false;
      }
    }
  } else {
    text = frame.overloaded ? kScaleOverloadedText : "";
  }

  if (text != currentText) outcome.weightText = text;
  return outcome;
}

}  // namespace corvel
