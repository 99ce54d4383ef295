// The scale link at line speed: the simulated scale answers at 9600 baud (about 1.04 ms a
// character) and the real station window prints each Autoprint label into a PDF folder.
// Each iteration is one poll; the readings alternate between an empty scale and a new
// load, so every second poll prints a label. Reported, as counters:
// - poll_*: a poll without a label, from the tick to its end, against the line's own
//   time for ENQ, ACK, DC1 and a 16-character frame (19 characters, about 19.8 ms);
// - box_*: from the frame's last character leaving the scale to the weight box showing it;
// - label_*: from the frame's last character to the Autoprint label's PDF being complete.
// Each protocol (enq, lines, hid) is also timed without line speed from the reading
// leaving the scale to the weight box showing it, and a line scale streaming 20 lines
// a second is left running against the station's 400 ms polls to measure the share of
// one core the station's thread spends on it.
#include <benchmark/benchmark.h>

#include <time.h>
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
#include "station/scale/scale_protocol.h"
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

// Records when the box changed; never prints.
class BoxView : public corvel::ScaleView {
 public:
  QString WeightText() const override { return weight; }
  void SetWeightText(const QString& text) override {
    weight = text;
    boxAt = Clock::now();
  }
  bool AutoprintChecked() const override { return false; }
  bool ScalesConnectedChecked() const override { return connected; }
  void SetScalesConnected(bool checked) override { connected = checked; }
  void PrintWeighedLabel() override {}
  void SetScaleStatus(const QString&) override {}

  QString weight;
  bool connected = true;
  Clock::time_point boxAt{};
};

const char* const kProtocols[] = {"enq", "lines", "hid"};

// A poll is started as soon as the one before ends, so each poll waits for the next
// reading and the time from its last byte to the box is the station's own.
void BM_ReadingToWeightBox(benchmark::State& state) {
  const char* protocol = kProtocols[state.range(0)];
  state.SetLabel(protocol);
  corvel::ScaleSimulator scale;
  if (state.range(0) != 0)
    scale.SetProtocol(corvel::MakeScaleProtocol(protocol), std::chrono::milliseconds(20));
  std::vector<corvel::ScaleReading> readings;
  for (int i = 0; i < 5000; ++i)
    readings.push_back(corvel::ParseScaleReading(i % 2 ? "2" : "1").front());
  scale.SetReadings(readings);
  scale.Start();
  corvel::MemorySettingsStore settings;
  settings.Save(corvel::kStationSection, "ScaleProtocol", protocol);
  settings.Save(corvel::kStationSection, "ScaleDevice", scale.DevicePath());
  BoxView view;
  QTimer timer1;
  corvel::ScaleLink link(view, timer1, settings, 1);
  std::vector<double> boxes;
  for (auto _ : state) {
    QEventLoop loop;
    QObject::connect(&link, &corvel::ScaleLink::pollFinished, &loop, &QEventLoop::quit);
    const auto start = Clock::now();
    link.OnTimerTick();
    if (link.PollUnderWay()) loop.exec();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!view.connected) {
      state.SkipWithError("the scale link failed");
      break;
    }
    const auto frameAt = scale.LastFrameSentAt();
    if (view.boxAt > start && view.boxAt > frameAt)
      boxes.push_back(Ms(view.boxAt - frameAt).count());
  }
  state.counters["box_median_ms"] = Percentile(boxes, 0.5);
  state.counters["box_p99_ms"] = Percentile(boxes, 0.99);
  state.counters["boxes"] = static_cast<double>(boxes.size());
}
BENCHMARK(BM_ReadingToWeightBox)
    ->ArgName("protocol")
    ->DenseRange(0, 2)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The station as it runs: Timer1 ticking every 400 ms, the scale streaming a line every
// 50 ms; the station's thread's CPU time over the wall time.
void BM_StreamOf20LinesASecond(benchmark::State& state) {
  corvel::ScaleSimulator scale;
  scale.SetProtocol(corvel::MakeScaleProtocol("lines"), std::chrono::milliseconds(50));
  std::vector<corvel::ScaleReading> readings;
  for (int i = 0; i < 1000; ++i)
    readings.push_back(corvel::ParseScaleReading(std::to_string(i % 7) + ".125").front());
  scale.SetReadings(readings);
  scale.Start();
  corvel::MemorySettingsStore settings;
  settings.Save(corvel::kStationSection, "ScaleProtocol", "lines");
  settings.Save(corvel::kStationSection, "ScaleDevice", scale.DevicePath());
  BoxView view;
  QTimer timer1;
  corvel::ScaleLink link(view, timer1, settings, 1);
  QObject::connect(&timer1, &QTimer::timeout, &link, &corvel::ScaleLink::OnTimerTick);
  const int seconds = static_cast<int>(state.range(0));
  for (auto _ : state) {
    timer1.start(corvel::ScaleLink::kPollIntervalMs);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    loop.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    state.SetIterationTime(wall);
    state.counters["cpu_percent_of_a_core"] = 100 * cpu / wall;
    state.counters["lines_sent"] = scale.FramesSent();
    timer1.stop();
  }
  if (!view.connected) state.SkipWithError("the scale link failed");
}
BENCHMARK(BM_StreamOf20LinesASecond)
    ->ArgName("seconds")
    ->Arg(20)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
