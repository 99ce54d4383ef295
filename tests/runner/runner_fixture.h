#pragma once
// Shared by the runner and sheet tests: request files written byte for byte, a data
// folder with its settings and a recording run, a scripted print dialog.
#include <QFile>
#include <optional>
#include <string>
#include <vector>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "common/settings_sections.h"
#include "common/settings_store.h"
#include "runner/request_files.h"
#include "runner/run_state.h"
#include "tests/support/fake_messages.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/recording_surface.h"
#include "tests/support/test_env.h"

namespace corvel::test {

struct RequestRow {
  std::string code, description, price;
};

inline QByteArray ToBytes(const RecordBytes& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// Written at the offsets of the suite's record layout, not through the reader's own
// setters: code (14 characters) at 0, description (32) at 14, price (18) at 46, two
// spare bytes at 64.
inline QByteArray BarprintBytes(const std::vector<RequestRow>& rows) {
  QByteArray bytes;
  for (const RequestRow& row : rows) {
    RecordBytes record(66, 0);
    PutTextField(record, 0, 14, row.code);
    PutTextField(record, 14, 32, row.description);
    PutTextField(record, 46, 18, row.price);
    bytes += ToBytes(record);
  }
  return bytes;
}

// The EAN-13 check digit of twelve digits.
inline char CheckDigit(const std::string& twelve) {
  return char('0' + ComputeCheckDigit(twelve));
}

// n requests "Item i" priced "$i.00" with distinct EAN-13 codes: `first` + i - 1 and
// its check digit.
inline std::vector<RequestRow> NumberedRows(int n, long long first = 200000000001LL) {
  std::vector<RequestRow> rows;
  for (int i = 1; i <= n; ++i) {
    const std::string data = std::to_string(first + i - 1);
    rows.push_back(
        {data + CheckDigit(data), "Item " + std::to_string(i), "$" + std::to_string(i) + ".00"});
  }
  return rows;
}

// One shelf card: Texts(0..), ByWeight and layout cells {x, y, z, text}.
struct ShelfCard {
  struct Cell {
    int x, y, z;
    std::string text;
  };
  std::vector<std::string> texts;
  std::int16_t byWeight = 0;
  std::vector<Cell> cells = {};
};

// Written byte by byte at the offsets of the suite's record layout, not through the
// reader's own setters: texts k at 30 k, ByWeight at 270, layout cell (x, y, z) at
// 272 + 30 (x + 11 y + 121 (z - 1)); every field 30 characters padded with spaces.
inline ShelfRecord MakeShelfRecord(const ShelfCard& card) {
  ShelfRecord record;
  record.bytes.assign(11162, ' ');
  for (std::size_t k = 0; k < card.texts.size(); ++k)
    PutTextField(record.bytes, 30 * k, 30, card.texts[k]);
  PutInt16(record.bytes, 270, card.byWeight);
  for (const auto& c : card.cells)
    PutTextField(record.bytes, std::size_t(272 + 30 * (c.x + 11 * c.y + 121 * (c.z - 1))), 30,
                 c.text);
  return record;
}

inline QByteArray ShelfBytes(const std::vector<ShelfCard>& cards) {
  QByteArray bytes;
  for (const ShelfCard& card : cards)
    bytes += ToBytes(MakeShelfRecord(card).bytes);
  return bytes;
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(bytes);
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The codes zbar reads on one page at 300 dpi, sorted.
inline QStringList DecodedCodes(const QString& pdf, int page = 1) {
  QStringList codes = DecodeBarcodes(RasterisePdf(pdf, 300, page));
  codes.sort();
  return codes;
}

// A data folder named by "Path", and a run on a recording surface.
struct DataFolder {
  QString folder = MakeTempFolder();
  MemorySettingsStore settings;
  RecordingSurface surface;
  FakeMessages messages;
  RunContext run{settings, surface, messages, {}, {}};
  DataFolder() { settings.Save(kRunnerSection, "Path", folder.toStdString()); }
  QString Barprint() const { return folder + "/Barprint"; }
  QString ShelfPrint() const { return folder + "/ShelfPrint"; }
  // Runs a job to its end: EndRun's exit code, kExitFailed for a Failure, kExitPrinted
  // when it returned.
  template <typename Job>
  std::optional<int> Ends(Job&& job) {
    try {
      job(run);
    } catch (const EndRun& end) {
      return end.exitCode;
    } catch (const Failure&) {
      return kExitFailed;
    }
    return kExitPrinted;
  }
};

// One isolated installation for the real programs: its own settings, data and PDF folders.
struct Installation {
  QString config = MakeTempFolder(), data = MakeTempFolder(), pdf = MakeTempFolder();

  QStringList Env(const QString& dialog) const {
    return {"XDG_CONFIG_HOME=" + config, "CORVEL_PRINT_DIALOG=" + dialog,
            "QT_QPA_PLATFORM=offscreen"};
  }
  // corvel request with a CSV or JSON request on standard input; it then starts
  // sheetwise unless `extra` holds "--no-run".
  RunResult Request(const QString& type, const QByteArray& input, const QString& dialog,
                    const QStringList& extra = {}) const {
    QStringList args = {"request", "--data", data, "--pdf-folder", pdf};
    if (!type.isEmpty()) args << "--type" << type;
    return RunProgram(BuiltProgram("corvel"), args << extra << "-", input, Env(dialog));
  }
  RunResult Sheetwise(const QString& dialog, const QStringList& env = {}) const {
    return RunProgram(BuiltProgram("sheetwise"), {}, {}, Env(dialog) + env);
  }
  QStringList Pdfs() const { return ListPdfFiles(pdf); }
  // The settings sheetwise reads, written by hand; no PDF folder: the default queue prints.
  void Configure(const std::string& type, bool pdfFolder = true) const {
    IniSettingsStore settings((config + "/Corvel/Corvel.ini").toStdString());
    settings.Save(kRunnerSection, "Path", data.toStdString());
    settings.Save(kRunnerSection, "Barcodetype", type);
    if (pdfFolder) settings.Save(kPrinterSection, "PdfFolder", pdf.toStdString());
  }
};

}  // namespace corvel::test
