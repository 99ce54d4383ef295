// Load on the runner at sizes cheap enough for every test run (scripts/soak.sh runs every
// job at its limit): each run prints every document, leaves the request as written and
// stays within bounded memory. Load on the station: start-up on a full product file
// (5000 products), then scale cycles against the simulator at pty speed with Autoprint
// into a PDF folder. Memory must stay flat and every label be there.
// CORVEL_SOAK_CYCLES sets the number of cycles (default 1000; scripts/soak.sh runs
// 100000); each checkpoint prints a line "[ SOAK ] ...".
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>

#include "platform/printing.h"
#include "tests/faults/fault_support.h"
#include "tests/runner/runner_fixture.h"
#include "tests/serial/scale_test_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

TEST(Load, LargeRequestsPrintWholeInBoundedMemory) {
  // The peak of the runs below is the peak of this process's waited-for children, which
  // counts what an earlier test left resident here at each fork: run alone (as ctest
  // does), this process is small and the peak is the runs'.
  rusage children{};
  ::getrusage(RUSAGE_CHILDREN, &children);
  const bool measurable = children.ru_maxrss < 200 * 1024 && RssKb() < 50 * 1024;
  const struct {
    const char* type;
    int records;
    int documents;
  } rows[] = {{"P20", 5000, 1}, {"44", 5000, 1}, {"Z", 100, 100}, {"S3", 50, 50}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    test::Installation site;
    std::vector<test::ShelfCard> cards;
    for (int i = 1; i <= row.records && row.type[0] == 'S'; ++i)
      cards.push_back({{"FRESH", "", "Item " + std::to_string(i), std::to_string(i) + ".99"}});
    test::WriteFile(site.data + "/Barprint", test::BarprintBytes(test::NumberedRows(row.records)));
    test::WriteFile(site.data + "/ShelfPrint", test::ShelfBytes(cards));
    site.Configure(row.type);
    const QByteArray before =
        test::Sha256(site.data + "/Barprint") + test::Sha256(site.data + "/ShelfPrint");
    const test::RunResult run = site.Sheetwise("accept");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(site.Pdfs().size(), row.documents);
    EXPECT_EQ(test::Sha256(site.data + "/Barprint") + test::Sha256(site.data + "/ShelfPrint"),
              before);
  }
  ::getrusage(RUSAGE_CHILDREN, &children);
  std::printf("[ MEASURED ] peak memory of the largest run: %ld kB\n", children.ru_maxrss);
  EXPECT_TRUE(!measurable || children.ru_maxrss < 200 * 1024) << children.ru_maxrss;
}

// Cycle i (from 0) reads an empty scale when i is even and a load when it is odd: each
// load after an empty scale prints one label.
std::string WeightOfCycle(long cycle) {
  return cycle % 2 ? std::to_string(1 + cycle / 2 % 900) + ".25" : "0";
}

TEST(Soak, StationStartsOnAFullFileAndScaleCyclesKeepMemoryFlat) {
  const long cycles = qEnvironmentVariableIsSet("CORVEL_SOAK_CYCLES")
                          ? qEnvironmentVariableIntValue("CORVEL_SOAK_CYCLES")
                          : (kSanitized ? 200 : 1000);
  const QString folder = MakeTempFolder();
  WriteAllBytes(folder + "/pdlist", ProductFileBytes(5000));
  ScaleSimulator scale;
  scale.Start();
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM1", scale.DevicePath());
  FakeMessages messages;  // none may come
  SystemClock clock;
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = (folder + "/labels").toStdString();
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  StationServices services{settings,
                           messages,
                           clock,
                           target,
                           [&target] { return MakePrintSurface(target); },
                           (folder + "/pdlist").toStdString()};
  services.makeBackgroundSurface = [&target](PrintStatus status) {
    return MakeBackgroundPrintSurface(target, std::move(status));
  };

  const long rssBefore = RssKb();
  QElapsedTimer took;
  took.start();
  StationWindow window(std::move(services));
  window.show();
  ASSERT_EQ(window.Combo1->count(), 5000);
  std::printf("[ SOAK ] start-up with 5000 products: %lld ms, +%ld kB resident\n",
              static_cast<long long>(took.elapsed()), RssKb() - rssBefore);
  window.Timer1->stop();  // cycles follow each other at once here
  QTimer ticks;
  ScaleLink link(window, ticks, settings, 1);
  window.Check2->setChecked(true);  // "Autoprint"

  long cycle = 0, fed = 0;
  long rssAt1k = 0;
  // Readings are fed 1000 at a time, ahead of the polls (the last one left would
  // repeat), so that the script costs no memory.
  auto feed = [&] {
    std::vector<ScaleReading> next;
    for (; fed < cycle + 2000 && fed < cycles; ++fed)
      next.push_back(ParseScaleReading(WeightOfCycle(fed)).front());
    scale.AddReadings(next);
  };
  scale.SetReadings(ParseScaleReading(WeightOfCycle(0)));
  fed = 1;
  feed();
  took.restart();
  QEventLoop loop;
  QObject::connect(&link, &ScaleLink::pollFinished, &loop, [&] {
    ++cycle;
    const bool checkpoint =
        cycle == 1000 || cycle == 10000 || cycle == cycles || cycle % 100000 == 0;
    if (checkpoint) {
      if (cycle == 1000) rssAt1k = PeakRssKb();
      std::printf("[ SOAK ] %ld cycles: %lld s, %d labels, resident %ld kB, peak %ld kB\n", cycle,
                  static_cast<long long>(took.elapsed() / 1000), static_cast<int>(cycle / 2),
                  RssKb(), PeakRssKb());
      std::fflush(stdout);
    }
    if (!window.Check3->isChecked() || cycle >= cycles) {
      loop.quit();
      return;
    }
    if (cycle % 1000 == 0) feed();
    QMetaObject::invokeMethod(&link, &ScaleLink::OnTimerTick, Qt::QueuedConnection);
  });
  window.Check3->setChecked(true);
  QMetaObject::invokeMethod(&link, &ScaleLink::OnTimerTick, Qt::QueuedConnection);
  loop.exec();
  const long peakAfterCycles = PeakRssKb();  // before listing the labels, which costs memory

  EXPECT_EQ(cycle, cycles) << window.StatusLine->text().toStdString();
  EXPECT_TRUE(messages.messages.empty() && messages.questions.empty());
  const QStringList labels = ListPdfFiles(QString::fromStdString(target.pdfFolder));
  EXPECT_EQ(labels.size(), cycles / 2) << "one label for every load";
  QStringList words;
  for (const PdfWord& word : PdfWords(labels.value(labels.size() - 1)))
    words << word.text;
  // The net weight (less the product's tare) of the last load, 500.25 kg at 1000 cycles.
  const QString kilograms = QString::fromStdString(WeightOfCycle(cycles - 1)).section('.', 0, 0);
  EXPECT_TRUE(words.filter(QRegularExpression("^" + kilograms + "\\.2\\d\\d$")).size() == 1)
      << "the last label carries the last load: " << words.join(' ').toStdString();
  if (cycles >= 1000) {
    EXPECT_LT(peakAfterCycles, rssAt1k + 16 * 1024) << "peak memory grew after 1000 cycles";
  }
}

}  // namespace
}  // namespace corvel::test
