// The scale frame parser and what a frame does to the weight box and to Autoprint.
#include "fuzz/check.h"
#include "station/scale/scale_frame.h"

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool armed = input.ConsumeBool();
  const bool autoprint = input.ConsumeBool();
  const std::string current = input.ConsumeRandomLengthString(24);
  const std::string text = input.ConsumeRemainingBytesAsString();
  const ScaleFrame frame = ParseScaleFrame(text);
  FUZZ_CHECK(frame.stable == (text.size() >= 3 && text[2] == 'S'));
  FUZZ_CHECK(frame.overloaded == (text.size() >= 4 && text[3] == 'F'));
  const std::string weightText = text.size() > 4 ? text.substr(4, 6) : "";
  FUZZ_CHECK(frame.weight.has_value() == !Overflows(weightText));

  const ScaleFrameOutcome outcome = EvaluateScaleFrame(frame, current, armed, autoprint);
  const std::string shown = outcome.weightText.value_or(current);
  FUZZ_CHECK(!outcome.weightText || *outcome.weightText != current);
  if (frame.stable && frame.weight) {
    FUZZ_CHECK(shown == FormatNumber(*frame.weight, "#0.000 KG"));
  } else {
    FUZZ_CHECK(shown == (frame.overloaded ? kScaleOverloadedText : ""));
    FUZZ_CHECK(outcome.armed == armed);
  }
  if (outcome.print) FUZZ_CHECK(armed && autoprint && *frame.weight > 0 && !outcome.armed);
  return 0;
}
