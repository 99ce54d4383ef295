// The scale link at line speed: the simulated scale answers at 9600 baud (about 1.04 ms a
// character) and the real station window prints each Autoprint label into a PDF folder.
// Each iteration is one poll; the readings alternate between an empty scale and a new
// load, so every second poll prints a label. Reported, as counters:
// - poll_*: a poll without a label, from the tick to its end, against the line's own
//   time for ENQ, ACK, DC1 and a 16-character frame (19 characters, about 19.8 ms);
// - box_*: from the frame's last character leaving the scale to the weight box showing it;
// - label_*: from the frame's last character to the Autoprint label's PDF being complete.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/dialogs.h"
#include "common/settings_sections.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "station/scale_link.h"
#include "station/station_window.h"
#include "tools/sim/scale_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

class QuietMessages : public corvel::MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool defaultYes) override { return defaultYes; }
  void Inform(std::string_view, std::string_view) override {}
};

// Passes everything to the window and notes when the box changed and when a label
// was complete.
class TimedView : public corvel::ScaleView {
 public:
  explicit TimedView(corvel::ScaleView& window) : window_(window) {}
  QString WeightText() const override { return window_.WeightText(); }
  void SetWeightText(const QString& text) override {
    window_.SetWeightText(text);
    boxAt = Clock::now();
  }
  bool AutoprintChecked() const override { return true; }
  bool ScalesConnectedChecked() const override { return window_.ScalesConnectedChecked(); }
  void SetScalesConnected(bool checked) override {
    window_.SetScalesConnected(checked);
    failed = failed || !checked;  // only the failure rule clears it here
  }
  void PrintWeighedLabel() override {
    window_.PrintWeighedLabel();
    labelAt = Clock::now();
    ++labels;
  }
  void SetScaleStatus(const QString& text) override { window_.SetScaleStatus(text); }

  Clock::time_point boxAt{};
  Clock::time_point labelAt{};
  int labels = 0;
  bool failed = false;

 private:
  corvel::ScaleView& window_;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index =
      static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

void BM_ScalePollAt9600(benchmark::State& state) {
  QTemporaryDir folder;
  corvel::ScaleSimulator scale;
  scale.SetEmulateBaud(true);
  // Frames of the given length: 16 as the simulator sends them, or 15 (the trailing CR
  // left off) so that the frame's last character is the one that completes it.
  const auto frameLength = static_cast<std::size_t>(state.range(0));
  auto frameOf = [&](const std::string& token) {
    corvel::ScaleReading reading;
    reading.raw =
        corvel::BuildScaleFrame(corvel::ParseScaleReading(token).front()).substr(0, frameLength);
    return reading;
  };
  std::vector<corvel::ScaleReading> readings;
  for (int i = 0; i < 1000; ++i) {
    readings.push_back(frameOf("0"));
    readings.push_back(frameOf(std::to_string(1 + i % 900) + ".5"));
  }
  scale.SetReadings(readings);
  scale.Start();

  corvel::MemorySettingsStore settings;
  settings.Save(corvel::kStationSection, "COM1", scale.DevicePath());
  QuietMessages messages;
  corvel::SystemClock clock;
  corvel::PrinterTarget target;
  target.kind = corvel::PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = (folder.path() + "/labels").toStdString();
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  QDir().mkpath(QString::fromStdString(target.pdfFolder));
  corvel::StationWindow window(corvel::StationServices{
      settings, messages, clock, target, [target] { return corvel::MakePrintSurface(target); },
      (folder.path() + "/pdlist").toStdString()});
  window.Command2->click();  // one product to print
  window.Timer1->stop();     // polls are started here, one after the other

  TimedView view(window);
  QTimer timer1;
  corvel::ScaleLink link(view, timer1, settings, 1);

  std::vector<double> polls, boxes, labels;
  for (auto _ : state) {
    const int labelsBefore = view.labels;
    QEventLoop loop;
    QObject::connect(&link, &corvel::ScaleLink::pollFinished, &loop, &QEventLoop::quit);
    const auto start = Clock::now();
    link.OnTimerTick();
    if (link.PollUnderWay()) loop.exec();
    const auto end = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (view.failed) {
      state.SkipWithError("the scale link failed; see the window's status line");
      break;
    }
    // Let the frame's last characters arrive before the next poll, as the 400 ms between
    // ticks does in use (the station reads a frame once 15 characters are in).
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
    const auto frameAt = scale.LastFrameSentAt();
    if (view.boxAt > start) boxes.push_back(Ms(view.boxAt - frameAt).count());
    if (view.labels > labelsBefore)
      labels.push_back(Ms(view.labelAt - frameAt).count());
    else
      polls.push_back(Ms(end - start).count());
  }

  // ENQ, ACK, DC1 and the frame.
  const double lineMs = Ms(corvel::kCharTime9600 * static_cast<int>(3 + frameLength)).count();
  state.counters["line_ms"] = lineMs;
  state.counters["poll_median_ms"] = Percentile(polls, 0.5);
  state.counters["poll_p99_ms"] = Percentile(polls, 0.99);
  state.counters["added_median_ms"] = Percentile(polls, 0.5) - lineMs;
  state.counters["box_median_ms"] = Percentile(boxes, 0.5);
  state.counters["box_p99_ms"] = Percentile(boxes, 0.99);
  state.counters["label_median_ms"] = Percentile(labels, 0.5);
  state.counters["label_p99_ms"] = Percentile(labels, 0.99);
  state.counters["labels"] = static_cast<double>(labels.size());
  state.counters["pdf_files"] = static_cast<double>(
      QDir(QString::fromStdString(target.pdfFolder)).entryList({"*.pdf"}, QDir::Files).size());
}
BENCHMARK(BM_ScalePollAt9600)
    ->ArgName("frame")
    ->Arg(16)
    ->Arg(15)
    ->Iterations(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
