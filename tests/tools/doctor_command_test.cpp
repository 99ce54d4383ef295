// "corvel doctor" run as a program on prepared set-ups, good and broken: each finding
// is one line with its level, the exit status says whether anything FAILed, and nothing
// it looks at is written to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <string_view>
#include <tuple>

#include "tests/runner/runner_fixture.h"
#include "tools/sim/scale_simulator.h"

namespace corvel {
namespace {

TEST(DoctorCommand, GoodAndBrokenSetUps) {
  ScaleSimulator scale;
  scale.Start();
  const struct {
    QByteArray settings;  // "@" stands for a fresh folder, "#" for the scale's device
    int pdlistBytes;      // of the station's product file (300 a record)
    QByteArray barprint;  // bytes of the request file in the runner's folder
    int exitCode;
    std::vector<const char*> lines;  // lines (or their starts) the report holds
    bool settingsPipe = false;       // a named pipe in place of the settings file
  } rows[] = {
      {"[Zebra]\nPdfFolder=@/pdf\nCOM1=#\n[Printer]\nPdfFolder=@/pdf\n[Quorrel]\nPath=@\n"
       "[Calibration PDF]\nDpi=203\n",
       300,
       QByteArray(132, ' '),
       0,
       {"WARN no print server answers (both programs print to PDF folders)",
        "OK   [Calibration PDF]: Dpi 203, OffsetX 0", "OK   scale on /dev/pts/",
        "OK   quiet zones of sheet type 44: 44 symbol(s) clear"}},
      {"[Zebra]\nPdfFolder=/proc/corvel/pdf\nCOM1=@/no-tty\nBarcodeLefte=left\nnonsense line\n"
       "[Printer]\nPrinterName=Zebra\nPdfPageSizeZ=sixty\n[Quorrel]\nPath=@/missing\n"
       "[Calibration Zebra]\nDpi=lots\n",
       301,
       {},
       1,
       {"FAIL no print server answers, and a program",
        "FAIL tarewise prints to PDF folder /proc/corvel/pdf: /proc cannot hold a new folder",
        "FAIL sheetwise job Z fails: setting Printer/PdfPageSizeZ \"sixty\"",
        "FAIL sheetwise prints to printer Zebra", "FAIL request folder",
        "setting Calibration Zebra/Dpi \"lots\" is not a number",
        "WARN settings file line 5 is neither",
        "WARN setting Zebra/BarcodeLefte \"left\" reads as 0", "WARN scale on ",
        "and a partial record of 1", "WARN quiet zone of the station's label"}},
      // The scale check sends ENQ into a serial device only, never into a file.
      {"[Zebra]\nPdfFolder=@/pdf\nCOM1=@/pdlist\n[Printer]\nPdfFolder=@/pdf\n",
       300,
       {},
       0,
       {"WARN scale on @/pdlist (COM1): is a regular file, not a serial device"}},
      {"", 300, {}, 1, {"FAIL settings file", "Corvel.ini is a named pipe"}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.exitCode);
    const QString root = test::MakeTempFolder(), config = test::MakeTempFolder();
    QDir().mkpath(config + "/Corvel");
    QByteArray settings = row.settings;
    settings.replace('@', root.toUtf8())
        .replace('#', QByteArray::fromStdString(scale.DevicePath()));
    if (row.settingsPipe)
      ASSERT_EQ(::mkfifo((config + "/Corvel/Corvel.ini").toUtf8().constData(), 0600), 0);
    else
      test::WriteFile(config + "/Corvel/Corvel.ini", settings);
    test::WriteFile(root + "/pdlist", QByteArray(row.pdlistBytes, ' '));
    if (!row.barprint.isEmpty()) test::WriteFile(root + "/Barprint", row.barprint);
    const test::RunResult run =
        test::RunProgram(test::BuiltProgram("corvel"), {"doctor", "--station-folder", root}, {},
                         {"XDG_CONFIG_HOME=" + config, "CUPS_SERVER=" + root + "/no-print-server"});
    ASSERT_TRUE(run.finished) << "the doctor hung";
    const QString out = QString::fromUtf8(run.out);
    EXPECT_EQ(run.exitCode, row.exitCode) << out.toStdString();
    for (const char* line : row.lines)
      EXPECT_TRUE(out.contains(QString(line).replace("@", root))) << line << "\nin:\n"
                                                                  << out.toStdString();
    EXPECT_EQ(test::ReadFile(root + "/pdlist"), QByteArray(row.pdlistBytes, ' ')) << "written to";
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
      EXPECT_TRUE(line.startsWith("OK ") || line.startsWith("WARN ") || line.startsWith("FAIL "))
          << line.toStdString();
  }
}

// The doctor names the protocol, its line and the device, shows the reading one poll
// gives, and names a setting that does not read.
TEST(DoctorCommand, ScaleOfEachProtocolShowsOneReading) {
  const std::tuple<const char*, QByteArray, const char*> rows[] = {
      {"enq", "ScaleParity=X\n", "enq 9600 8N1, reads \"1.235 KG\""},
      {"lines", "ScaleProtocol=lines\n", "lines 9600 8N1, reads \"1.235 KG\""},
      {"hid", "ScaleProtocol=hid\n", "hid reports, reads \"1.235 KG\""},
  };
  for (const auto& [protocol, settings, reads] : rows) {
    SCOPED_TRACE(protocol);
    ScaleSimulator scale;
    if (std::string_view(protocol) != "enq") scale.SetProtocol(MakeScaleProtocol(protocol));
    scale.SetReadings(ParseScaleReading("1.235"));
    scale.Start();
    const QString root = test::MakeTempFolder(), config = test::MakeTempFolder();
    QDir().mkpath(config + "/Corvel");
    test::WriteFile(config + "/Corvel/Corvel.ini",
                    "[Zebra]\nPdfFolder=" + root.toUtf8() + "\n" + settings +
                        "ScaleDevice=" + QByteArray::fromStdString(scale.DevicePath()) + "\n");
    const test::RunResult run =
        test::RunProgram(test::BuiltProgram("corvel"), {"doctor", "--station-folder", root}, {},
                         {"XDG_CONFIG_HOME=" + config, "CUPS_SERVER=" + root + "/no-print-server"});
    ASSERT_TRUE(run.finished) << "the doctor hung";
    const QString out = QString::fromUtf8(run.out);
    const QString line = QString("OK   scale on %1 (ScaleDevice): %2")
                             .arg(QString::fromStdString(scale.DevicePath()), reads);
    EXPECT_TRUE(out.contains(line)) << line.toStdString() << "\nin:\n" << out.toStdString();
    if (settings.startsWith("ScaleParity")) {
      EXPECT_TRUE(
          out.contains("WARN scale: setting Zebra/ScaleParity \"X\" is not N, E or O; N used"))
          << out.toStdString();
    }
  }
}

}  // namespace
}  // namespace corvel
