// The ENQ / ACK / DC1 protocol: a poll sends ENQ and expects exactly one ACK, then sends
// DC1 and expects a weight frame of 15 or more characters (scale_frame.h).
#include <algorithm>

#include "station/scale/scale_protocol.h"

namespace corvel {
namespace {

class EnqProtocol : public ScaleProtocol {
 public:
  std::string_view Name() const override { return "enq"; }
  bool Streams() const override { return false; }

  std::string Request(int step) const override {
    return std::string(1, step == 0 ? kScaleEnq : kScaleDc1);
  }

  bool Whole(int step, std::string_view received) const override {
    return received.size() >= (step == 0 ? 1u : static_cast<std::size_t>(kScaleFrameLength));
  }

  ScaleAnswer Read(int step, std::string& received) const override {
    ScaleAnswer answer;
    if (step == 0) {
      answer.kind = received == std::string(1, kScaleAck) ? ScaleAnswer::Kind::Next
                                                          : ScaleAnswer::Kind::Nothing;
    } else {
      answer.kind = ScaleAnswer::Kind::Reading;
      answer.reading = ParseScaleFrame(received);
    }
    received.clear();
    return answer;
  }

  // STX, blank, "S" or "M", "F" or blank, the weight right-aligned in six characters,
  // " kg  " and CR: 16 characters.
  std::string Send(const ScaleSample& sample) const override {
    std::string frame = "\x02 ";
    frame += sample.stable ? 'S' : 'M';
    frame += sample.overloaded ? 'F' : ' ';
    frame += std::string(6 - std::min<std::size_t>(6, sample.weight.size()), ' ');
    frame += sample.weight.substr(0, 6);
    frame += " kg  \r";
    return frame;
  }
};

}  // namespace

std::unique_ptr<ScaleProtocol> MakeEnqProtocol() {
  return std::make_unique<EnqProtocol>();
}

}  // namespace corvel
