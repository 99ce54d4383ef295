// The USB scale's report reader: any bytes, taken at a poll, give at most one reading
// whose weight is finite, and leave fewer bytes than a report; a single report of six
// bytes reads exactly as ReadHidReport reads it.
#include <cmath>

#include "fuzz/check.h"
#include "station/scale/scale_protocol.h"

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string sent(reinterpret_cast<const char*>(data), size);
  std::string received = sent;
  const auto hid = MakeHidProtocol({});
  const bool whole = hid->Whole(0, received);
  const ScaleAnswer answer = hid->Read(0, received);
  FUZZ_CHECK(whole == (answer.kind == ScaleAnswer::Kind::Reading));
  FUZZ_CHECK(received.size() < kHidReportLength);
  FUZZ_CHECK(sent.ends_with(received));
  if (answer.reading.weight) FUZZ_CHECK(std::isfinite(*answer.reading.weight));
  if (size == kHidReportLength) {
    const std::optional<ScaleFrame> one = ReadHidReport(sent);
    FUZZ_CHECK(one.has_value() == whole);
    if (one) {
      FUZZ_CHECK(one->stable == answer.reading.stable);
      FUZZ_CHECK(one->overloaded == answer.reading.overloaded);
      FUZZ_CHECK(one->weight == answer.reading.weight);
    }
  }
  std::string kept = sent;
  hid->Forget(kept);
  FUZZ_CHECK(kept.size() < 65 * kHidReportLength && sent.ends_with(kept));
  FUZZ_CHECK((sent.size() - kept.size()) % kHidReportLength == 0);
  return 0;
}
