#pragma once
// A stand-in station window and a fixture with a simulated scale on a real pseudo-terminal,
// opened by a real QSerialPort through the scale link.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "common/errors.h"
#include "common/settings_sections.h"
#include "common/settings_store.h"
#include "station/scale_link.h"
#include "station/scale_view.h"
#include "tests/support/test_env.h"
#include "tools/sim/scale_simulator.h"

namespace corvel::test {

// How long a poll waits for a scale that answers: long enough for a loaded machine to
// deliver the answer, so that only a lost answer ends the wait. Tests of what a missing
// answer does set the real wait (ScaleLink::kAnswerWaitMs).
inline constexpr int kGenerousWaitMs = 30000;

class FakeStationView : public ScaleView {
 public:
  QString WeightText() const override { return weight; }
  void SetWeightText(const QString& text) override { weight = text; }
  bool AutoprintChecked() const override { return autoprint; }
  bool ScalesConnectedChecked() const override { return scalesConnected; }
  void SetScalesConnected(bool checked) override { scalesConnected = checked; }
  void PrintWeighedLabel() override {
    if (failPrint) throw PrintError("printer out of labels");
    printedWeights << weight;
  }
  void SetScaleStatus(const QString& text) override { status = text; }

  QString weight = QStringLiteral("0.00");
  bool autoprint = false;
  bool scalesConnected = true;
  bool failPrint = false;
  QStringList printedWeights;  // the weight box at each print
  QString status;
};

// Polls are started by hand; Timer1 only ticks the link when a test connects it.
class ScaleLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scale_.Start();
    settings_.Save(kStationSection, "COM1", scale_.DevicePath());
    timer1_.start(ScaleLink::kPollIntervalMs);
    link_ = std::make_unique<ScaleLink>(view_, timer1_, settings_, 1);
    link_->SetAnswerWait(kGenerousWaitMs);
  }

  bool Poll() {
    QSignalSpy finished(link_.get(), &ScaleLink::pollFinished);
    link_->OnTimerTick();
    return WaitUntil([&] { return finished.count() > 0; });
  }

  bool PollWith(const std::string& token) {
    scale_.SetReadings(ParseScaleReading(token));
    return Poll();
  }

  bool PollingOn() const { return timer1_.isActive(); }

  ScaleSimulator scale_;
  MemorySettingsStore settings_;
  QTimer timer1_;
  FakeStationView view_;
  std::unique_ptr<ScaleLink> link_;
};

}  // namespace corvel::test
