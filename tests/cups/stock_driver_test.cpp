// Labels, sheets and shelf cards on the printer drivers Debian ships and on a driverless
// label printer, through a private print server, set up as docs/printers.md tells a shop's
// admin: each queue's default media is a size that is not its driver's first one (or a
// custom size). Every document we submit must have the page of the media the queue prints
// on, and where the printer's language can be read back (EPL2, ZPL, PWG raster) the label
// the printer receives must scan to the number printed: not blank, not cut.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "barcode/barcode_job.h"
#include "common/clock.h"
#include "common/ini_settings_store.h"
#include "common/settings_sections.h"
#include "common/settings_store.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/driverless_printer.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/printer_language.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// The number every symbol carries: an item's own EAN-13 code, printed as it is.
constexpr char kCode[] = "4006381333931";

// What is read back of what the printer receives: the label's dots, the office printer's
// paper, or nothing.
enum class Language { Unread, Epl2, Zpl, PwgRaster, Pcl };

struct QueueSpec {
  const char* name;
  const char* model;  // lpadmin -m
  const char* media;  // its default: PageSize for a driver, the printer's own for driverless
  Language language;
};

constexpr const char* kDriverless = "everywhere";
// The label queues, then the office queue (the print server's default). One name has a
// hyphen, as admins name queues: libcups would take it for a discovered printer to set up
// a temporary queue for, and wait for that queue for ever on a print server reached by its
// socket.
const QueueSpec kQueues[] = {
    {"EPL2", "drv:///sample.drv/zebraep2.ppd", "w216h144", Language::Epl2},
    {"deli-labels", "drv:///sample.drv/zebraep2.ppd", "Custom.60x40mm", Language::Epl2},
    {"ZPL", "drv:///sample.drv/zebra.ppd", "w162h90", Language::Zpl},
    {"CPCL", "drv:///sample.drv/zebracpl.ppd", "w288h216", Language::Unread},
    {"DYMO", "drv:///sample.drv/dymo.ppd", "w162h288", Language::Unread},
    {"IntelliBar", "drv:///sample.drv/intelbar.ppd", "Custom.100x50mm", Language::Unread},
    {"Driverless", kDriverless, "custom_60x40mm_60x40mm", Language::PwgRaster},
};
const QueueSpec kOffice = {"Office", "drv:///sample.drv/laserjet.ppd", "A4", Language::Pcl};

QString Mm(QSizeF size) {
  return QString("%1 x %2 mm").arg(size.width(), 0, 'f', 1).arg(size.height(), 0, 'f', 1);
}

// Within half a millimetre, either way round (a landscape card may come rotated).
bool SamePage(QSizeF a, QSizeF b) {
  const auto close = [](double x, double y) { return std::abs(x - y) <= 0.5; };
  return (close(a.width(), b.width()) && close(a.height(), b.height())) ||
         (close(a.width(), b.height()) && close(a.height(), b.width()));
}

class StockDriverTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test::CupsDaemon::Installed() || !test::DriverlessPrinter::Installed()) return;
    printer_ = std::make_unique<test::DriverlessPrinter>();
    daemon_ = std::make_unique<test::CupsDaemon>();
    const QueueSpec& driverless =
        *std::find_if(std::begin(kQueues), std::end(kQueues),
                      [](const QueueSpec& q) { return q.model == kDriverless; });
    if (!printer_->Start(driverless.media, &startError_)) return;
    std::vector<test::CupsDaemon::Queue> queues;
    for (const QueueSpec& q : kQueues) {
      const bool driverless = q.model == kDriverless;
      queues.push_back({.name = q.name,
                        .model = q.model,
                        .options = {"print-scaling-default=none"},
                        .uri = driverless ? printer_->Uri() : QString()});
      if (!driverless) queues.back().options << QString("PageSize=") + q.media;
    }
    queues.push_back({.name = kOffice.name,
                      .makeDefault = true,
                      .model = kOffice.model,
                      .options = {QString("PageSize=") + kOffice.media}});
    if (!daemon_->StartWithQueues(queues, &startError_)) return;
    daemon_->SetClientEnvironment();
    SetUpFonts();
  }
  static void TearDownTestSuite() {
    daemon_.reset();
    printer_.reset();
  }
  void SetUp() override {
    if (!test::CupsDaemon::Installed() || !test::DriverlessPrinter::Installed())
      GTEST_SKIP() << "cupsd, ippeveprinter, avahi-daemon or dbus-daemon is not installed";
    ASSERT_TRUE(startError_.isEmpty()) << startError_.toStdString();
  }

  // Runs `program` with its own settings (written by `settings`) against the print
  // server; its exit code, with what it said on standard error.
  static test::RunResult Run(const QString& program, const QStringList& args,
                             const std::vector<std::array<std::string, 3>>& settings,
                             const QByteArray& input = {}) {
    const QString config = test::MakeTempFolder();
    IniSettingsStore store((config + "/Corvel/Corvel.ini").toStdString());
    for (const auto& [section, key, value] : settings)
      store.Save(section, key, value);
    return test::RunProgram(test::BuiltProgram(program), args, input,
                            {daemon_->ClientEnvironment(), "XDG_CONFIG_HOME=" + config,
                             "CORVEL_PRINT_DIALOG=accept", "QT_QPA_PLATFORM=offscreen"});
  }

  // The labels the printer received for the queue's last job.
  static std::vector<QImage> Received(const QueueSpec& q) {
    if (q.language == Language::Epl2) return test::DecodeEpl2(daemon_->DeviceOutput(q.name));
    if (q.language == Language::Zpl) return test::DecodeZpl(daemon_->DeviceOutput(q.name));
    std::vector<QImage> pages;
    for (const test::RasterPage& page : test::DecodePwgRaster(printer_->LastDocument()))
      pages.push_back(page.image);
    return pages;
  }

  static void ForgetOutput(const QueueSpec& q) {
    daemon_->ForgetOutput(q.name);
    if (q.language == Language::PwgRaster) printer_->ForgetDocuments();
  }

  // Waits for the job a step submitted to the queue and checks it: the page we submitted
  // is `page` (when given), and the label the printer received scans to kCode.
  static void ExpectPrinted(const QueueSpec& q, int completedBefore, std::optional<QSizeF> page) {
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(q.name, completedBefore + 1)) << "no job printed";
    const int job = daemon_->LastJobId(q.name);
    auto attributes = daemon_->JobAttributes(job);
    const QSizeF submitted = test::PdfPageSizeMm(daemon_->SubmittedDocument(job));
    EXPECT_TRUE(!page || SamePage(submitted, *page))
        << "submitted " << Mm(submitted).toStdString() << " for " << Mm(*page).toStdString()
        << " (media \"" << attributes["media"].toStdString() << "\")";
    if (q.language == Language::Unread) return;
    if (q.language == Language::Pcl) {
      const QString paper = test::PclPaper(daemon_->DeviceOutput(q.name));
      EXPECT_TRUE(SamePage(test::CupsDaemon::MediaSizeMm(paper), *page))
          << "the printer was told to take "
          << (paper.isEmpty() ? "no known paper" : paper).toStdString();
      return;
    }
    const std::vector<QImage> labels = Received(q);
    ASSERT_EQ(labels.size(), 1u) << "labels the printer received";
    EXPECT_EQ(test::DecodeBarcodes(labels[0]).join(' ').toStdString(), kCode)
        << "the label the printer received (" << labels[0].width() << " x " << labels[0].height()
        << " dots)";
  }

  // `corvel doctor` names the queue's media as the labels are laid out on it, and warns
  // when the station's labels go to office paper.
  static void ExpectDoctorSays(const QueueSpec& q, QSizeF media) {
    const bool office = q.language == Language::Pcl;
    std::vector<std::array<std::string, 3>> settings;
    if (!office) settings.push_back({std::string(kStationSection), "PrinterName", q.name});
    const QString out = QString::fromUtf8(Run("corvel", {"doctor"}, settings).out);
    const QRegularExpression line(QString("^(\\w+) +tarewise prints to printer %1 \\(([\\d.]+) x "
                                          "([\\d.]+) mm.*$")
                                      .arg(QRegularExpression::escape(q.name)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch found = line.match(out);
    ASSERT_TRUE(found.hasMatch()) << out.toStdString();
    EXPECT_TRUE(SamePage({found.captured(2).toDouble(), found.captured(3).toDouble()}, media))
        << found.captured(0).toStdString();
    EXPECT_EQ(found.captured(1), office ? "WARN" : "OK") << found.captured(0).toStdString();
  }

  // `corvel calibrate` on a label: every module width either scans on the labels the
  // printer receives (whole, with its quiet zones) or is named as too wide for the label.
  static void ExpectCalibrationPage(const QueueSpec& q, int completedBefore) {
    const test::RunResult run = Run("corvel", {"calibrate", q.name}, {});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(q.name, completedBefore + 1));
    QStringList decoded;
    for (const QImage& label : Received(q))
      decoded << test::DecodeBarcodes(label);
    const QString tooWide = QRegularExpression("Too wide for this page:([ \\d]*) tw")
                                .match(QString::fromUtf8(run.err))
                                .captured(1);
    for (int module = 15; module <= 30; ++module) {
      const std::string data = "2000000000" + std::to_string(module);
      const QString code = QString::fromStdString(data) + QString::number(ComputeCheckDigit(data));
      EXPECT_NE(decoded.contains(code), tooWide.split(' ').contains(QString::number(module)))
          << module << " tw: decoded " << decoded.join(' ').toStdString()
          << "; too wide:" << tooWide.toStdString();
    }
  }

  // `corvel label` with the station's settings naming the queue.
  static test::RunResult PrintLabelCommand(const QueueSpec& q) {
    return Run("corvel", {"label", "--code", kCode, "--price", "12.99", "--weight", "1.235 KG"},
               {{std::string(kStationSection), "PrinterName", q.name}});
  }

  // A request of one item (a roll label, a sheet) or one shelf card (selector S1, S2, S3)
  // written by `corvel request`, which starts sheetwise; roll labels go to the queue,
  // everything else to the office queue, as docs/printers.md sets up a shop. A custom
  // `page` is set as the job's PDF page size.
  static test::RunResult Request(const QueueSpec& q, const QString& selector, QSizeF page,
                                 bool customPage) {
    std::vector<std::array<std::string, 3>> settings = {
        {std::string(kPrinterSection), "PrinterName", kOffice.name},
        {std::string(kPrinterSection), "PrinterNameZ", q.name}};
    if (customPage)
      settings.push_back({std::string(kPrinterSection), "PdfPageSize" + selector.toStdString(),
                          QString("%1x%2").arg(page.width()).arg(page.height()).toStdString()});
    const QByteArray request =
        selector.startsWith('S') ? "code,description,price,text1,text3,text4\n" +
                                       QByteArray(kCode) + ",Ham,$1.99,FRESH,Ham,1.99\n"
                                 : "code,description,price\n" + QByteArray(kCode) + ",Ham,$1.99\n";
    return Run("corvel", {"request", "--data", test::MakeTempFolder(), "--type", selector, "-"},
               settings, request);
  }

  // The station's window as station/main.cpp builds it, printing on the queue named in its
  // settings: the first label after it opens and the next one.
  static void PrintFromTheWindow(const QueueSpec& q, QSizeF media) {
    MemorySettingsStore settings;
    settings.Save(kStationSection, "PrinterName", q.name);
    test::FakeMessages messages;
    FixedClock clock(MakeLocalTime(2026, 12, 6, 12));
    // 60 x 40 mm: the page station/main.cpp gives PDF documents.
    const PrinterTarget target = ChoosePrinterTarget(settings, kStationSection, "tarewise", 60, 40);
    RecordBytes products = test::ProductFileBytes(1);
    PutInt64(products, 0, std::stoll(kCode) * 10000);  // currency: four decimals
    const QString productFile = test::MakeTempFolder() + "/pdlist";
    test::WriteAllBytes(productFile, products);
    StationServices services{settings,
                             messages,
                             clock,
                             target,
                             [target] { return MakePrintSurface(target); },
                             productFile.toStdString()};
    services.makeBackgroundSurface = [target](PrintStatus status, PaperReport paper) {
      return MakeBackgroundPrintSurface(target, std::move(status), std::move(paper));
    };
    StationWindow window(std::move(services));
    window.Text4->setText("1.235");
    for (const char* label : {"first label", "second label"}) {
      SCOPED_TRACE(label);
      ForgetOutput(q);
      const int before = daemon_->CompletedJobs(q.name);
      window.Command1->click();
      // Sent in the background: it prints, or the status line says it was refused.
      const auto refused = [&] { return window.StatusLine->text().contains("refused"); };
      QElapsedTimer waited;
      for (waited.start(); daemon_->CompletedJobs(q.name) == before && !refused() &&
                           waited.elapsed() < (4 * kPrintServerTimeout).count();)
        QTest::qWait(20);
      ASSERT_FALSE(refused()) << window.StatusLine->text().toStdString();
      ExpectPrinted(q, before, media);
    }
  }

  static inline std::unique_ptr<test::DriverlessPrinter> printer_;
  static inline std::unique_ptr<test::CupsDaemon> daemon_;
  static inline QString startError_;
};

// One row of the table: what is printed on a queue, and the page it must have.
enum class Job { LpSymbol, Request, LabelCommand, StationWindow, Doctor, Calibrate };
struct Row {
  const char* name;
  Job job;
  const char* selector = nullptr;  // Request: the runner's Barcodetype
  const char* page = nullptr;      // the document's own media; none: the queue's
};

const Row kLabelJobs[] = {
    // A symbol drawn by `corvel barcode`, sent with lp: the driver and the reading back
    // work on this queue, so a failing row after it is Corvel's fault.
    {"symbol sent with lp", Job::LpSymbol},
    {"roll label (sheetwise Z)", Job::Request, "Z"},
    {"weighed label (corvel label)", Job::LabelCommand},
    {"weighed labels (station window)", Job::StationWindow},
    {"doctor names the media", Job::Doctor},
    {"calibration page", Job::Calibrate},
};
const Row kOfficeJobs[] = {
    // The station with no printer named prints on the default office printer: said.
    {"doctor warns of labels on office paper", Job::Doctor},
    {"sheet of 44", Job::Request, "44"},
    {"shelf card S1", Job::Request, "S1", "A5"},
    {"shelf card S2", Job::Request, "S2", "A5"},
    // A custom card size, set in PdfPageSizeS3; the office driver has neither it nor
    // custom sizes.
    {"shelf card S3", Job::Request, "S3", "Custom.105x148mm"},
};

TEST_F(StockDriverTest, EveryDocumentIsOnTheQueuesMediaAndEveryLabelScans) {
  const QString symbol = test::MakeTempFolder() + "/symbol.pdf";
  ASSERT_EQ(
      test::RunProgram(test::BuiltProgram("corvel"), {"barcode", kCode, "--pdf", symbol}).exitCode,
      0);
  std::vector<std::pair<const QueueSpec*, const Row*>> rows;
  for (const QueueSpec& q : kQueues)
    for (const Row& row : kLabelJobs)
      if (row.job != Job::LpSymbol || q.language != Language::Unread) rows.push_back({&q, &row});
  for (const Row& row : kOfficeJobs)
    rows.push_back({&kOffice, &row});

  for (const auto& [q, row] : rows) {
    SCOPED_TRACE(std::string(q->name) + ": " + row->name);
    const QSizeF media = test::CupsDaemon::MediaSizeMm(q->media);
    const QSizeF page = row->page ? test::CupsDaemon::MediaSizeMm(row->page) : media;
    ForgetOutput(*q);
    const int before = daemon_->CompletedJobs(q->name), lastJob = daemon_->LastJobId(q->name);
    if (row->job == Job::LpSymbol) {
      ASSERT_EQ(daemon_->RunClient("lp", {"-d", q->name, symbol}), 0);
      ExpectPrinted(*q, before, std::nullopt);
      continue;
    }
    if (row->job == Job::StationWindow) {
      PrintFromTheWindow(*q, media);
      continue;
    }
    if (row->job == Job::Doctor) {
      ExpectDoctorSays(*q, media);
      continue;
    }
    if (row->job == Job::Calibrate) {
      if (q->language == Language::Epl2 || q->language == Language::Zpl)
        ExpectCalibrationPage(*q, before);
      continue;
    }
    const bool customPage = row->page && QString(row->page).startsWith("Custom.");
    const test::RunResult run = row->job == Job::LabelCommand
                                    ? PrintLabelCommand(*q)
                                    : Request(*q, row->selector, page, customPage);
    // A custom size the queue cannot take may be refused, with nothing printed; any other
    // document must print, on its page.
    if (customPage && run.exitCode != 0) {
      EXPECT_EQ(daemon_->LastJobId(q->name), lastJob) << "refused, yet sent to the printer";
      continue;
    }
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    if (daemon_->LastJobId(q->name) == lastJob) {
      ADD_FAILURE() << "nothing was sent to " << q->name << ": " << run.err.toStdString();
      continue;
    }
    ExpectPrinted(*q, before, page);
  }
}

}  // namespace
}  // namespace corvel
