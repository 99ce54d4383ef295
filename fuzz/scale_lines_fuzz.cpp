// The line scale's reader: any bytes, taken at a poll, give at most the newest line that
// reads, never a weight that is not a finite number of kilograms, and leave only the
// line still arriving.
#include <cmath>

#include "fuzz/check.h"
#include "station/scale/scale_protocol.h"

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  ScaleOptions options;
  if (input.ConsumeBool()) options.stableMarkers = {input.ConsumeRandomLengthString(4)};
  if (input.ConsumeBool()) options.overloadMarkers = {input.ConsumeRandomLengthString(4)};
  std::string received = input.ConsumeRemainingBytesAsString();
  const std::string sent = received;

  const auto lines = MakeLinesProtocol(options);
  const bool whole = lines->Whole(0, received);
  const ScaleAnswer answer = lines->Read(0, received);
  FUZZ_CHECK(whole == (answer.kind == ScaleAnswer::Kind::Reading));
  FUZZ_CHECK(answer.kind != ScaleAnswer::Kind::Next);
  FUZZ_CHECK(answer.skipped >= 0);
  if (answer.reading.weight) FUZZ_CHECK(std::isfinite(*answer.reading.weight));
  // What stays is the tail of what came, with no line end in it.
  FUZZ_CHECK(sent.ends_with(received));
  FUZZ_CHECK(received.find_first_of("\r\n") == std::string::npos);
  // A line without its end is never read.
  if (sent.find_first_of("\r\n") == std::string::npos) FUZZ_CHECK(!whole);
  return 0;
}
