// The station under load: start-up on a full product file (5000 products), then scale
// cycles against the simulator at pty speed with Autoprint into a PDF folder. Memory
// must stay flat and every label be there. CORVEL_SOAK_CYCLES sets the number of cycles
// (default 1000; scripts/soak.sh runs 100000 besides the runner's largest requests);
// each checkpoint prints a line "[ SOAK ] ...".
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>

#include "platform/printing.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/scale_test_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(Soak, StationStartsOnAFullFileAndScaleCyclesKeepMemoryFlat) {
  const long asked = qEnvironmentVariableIntValue("CORVEL_SOAK_CYCLES");
  const long cycles = asked > 0 ? asked : (kSanitized ? 200 : 1000);
  const QString folder = MakeTempFolder();
  WriteAllBytes(folder + "/pdlist", ProductFileBytes(5000));
  ScaleSimulator scale;
  scale.Start();
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM1", scale.DevicePath());
  FakeMessages messages;  // none may come
  SystemClock clock;
  PrinterTarget target;
  target.pdfFolder = (folder + "/labels").toStdString();
  target.program = "tarewise";
  // As the station runs: labels go to a background surface.
  StationServices services{settings, messages, clock,
                           target,   nullptr,  (folder + "/pdlist").toStdString()};
  services.makeBackgroundSurface = [&target](PrintStatus status, PaperReport paper) {
    return MakeBackgroundPrintSurface(target, std::move(status), std::move(paper));
  };
  QElapsedTimer took;
  took.start();
  StationWindow window(std::move(services));
  window.show();
  ASSERT_EQ(window.Combo1->count(), 5000);
  std::printf("[ SOAK ] start-up with 5000 products: %lld ms\n",
              static_cast<long long>(took.elapsed()));
  window.Timer1->stop();  // cycles follow each other at once here
  QTimer ticks;
  ScaleLink link(window, ticks, settings, 1);
  window.Check2->setChecked(true);  // "Autoprint"

  long cycle = 0, fed = 1, peakAt1k = 0;
  // Readings are fed 1000 at a time, ahead of the polls (the last one left would
  // repeat), so that the script costs no memory.
  const auto feed = [&] {
    std::vector<ScaleReading> next;
    for (; fed < cycle + 2000 && fed < cycles; ++fed)
      next.push_back(ParseScaleReading(fed % 2 ? "1.25" : "0").front());
    scale.AddReadings(next);
  };
  scale.SetReadings(ParseScaleReading("0"));  // cycle i reads a load when i is odd
  feed();
  took.restart();
  QEventLoop loop;
  QObject::connect(&link, &ScaleLink::pollFinished, &loop, [&] {
    ++cycle;
    if (cycle == 1000) peakAt1k = PeakRssKb();
    if (cycle == 1000 || cycle == 10000 || cycle == cycles || cycle % 100000 == 0) {
      std::printf("[ SOAK ] %ld cycles: %lld s, %ld labels, peak %ld kB\n", cycle,
                  static_cast<long long>(took.elapsed() / 1000), cycle / 2, PeakRssKb());
    }
    if (!window.Check3->isChecked() || cycle >= cycles) return loop.quit();
    if (cycle % 1000 == 0) feed();
    QMetaObject::invokeMethod(&link, &ScaleLink::OnTimerTick, Qt::QueuedConnection);
  });
  window.Check3->setChecked(true);
  QMetaObject::invokeMethod(&link, &ScaleLink::OnTimerTick, Qt::QueuedConnection);
  loop.exec();
  const long peakAfterCycles = PeakRssKb();  // before listing the labels, which costs memory

  EXPECT_EQ(cycle, cycles) << window.StatusLine->text().toStdString();
  EXPECT_TRUE(messages.messages.empty() && messages.questions.empty());
  EXPECT_EQ(ListPdfFiles(QString::fromStdString(target.pdfFolder)).size(), cycles / 2)
      << "one label for every load";
  EXPECT_TRUE(cycles < 1000 || peakAfterCycles < peakAt1k + 16 * 1024) << "peak memory grew";
}

}  // namespace
}  // namespace corvel::test
