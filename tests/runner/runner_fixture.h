#pragma once
// Shared pieces of the runner tests: request files written byte for byte, a settings
// store pointing at a data folder, a scripted print dialog and message boxes.
#include <QFile>
#include <QString>
#include <string>
#include <vector>

#include "common/dialogs.h"
#include "common/recording_surface.h"
#include "common/settings_store.h"
#include "runner/request_files.h"
#include "runner/run_state.h"
#include "tests/support/test_env.h"

namespace corvel::test {

struct RequestRow {
  std::string code;
  std::string description;
  std::string price;
};

inline QByteArray BarprintBytes(const std::vector<RequestRow>& rows) {
  QByteArray bytes;
  for (const RequestRow& row : rows) {
    BarcodeRequestRecord record;
    record.SetCode(row.code);
    record.SetDescription(row.description);
    record.SetPrice(row.price);
    bytes.append(reinterpret_cast<const char*>(record.bytes.data()),
                 static_cast<qsizetype>(record.bytes.size()));
  }
  return bytes;
}

// n requests with distinct EAN-13 codes 2000000000010, 2000000000027, ...
inline std::vector<RequestRow> NumberedRows(int n) {
  std::vector<RequestRow> rows;
  for (int i = 1; i <= n; ++i) {
    std::string data = std::to_string(200000000000LL + i);
    int sum = 0;
    for (int k = 0; k < 12; ++k)
      sum += (data[k] - '0') * (k % 2 ? 3 : 1);
    data += static_cast<char>('0' + (10 - sum % 10) % 10);
    rows.push_back({data, "Item " + std::to_string(i), "$" + std::to_string(i) + ".00"});
  }
  return rows;
}

// Shelf records whose Texts(0), Texts(1) and Texts(5) are the given lines.
inline QByteArray ShelfBytes(const std::vector<std::vector<std::string>>& lines) {
  QByteArray bytes;
  for (const auto& cardLines : lines) {
    ShelfRecord record = BlankShelfRecord();
    const int textIndex[] = {0, 1, 5};
    for (std::size_t i = 0; i < cardLines.size() && i < 3; ++i)
      record.SetText(textIndex[i], cardLines[i]);
    bytes.append(reinterpret_cast<const char*>(record.bytes.data()),
                 static_cast<qsizetype>(record.bytes.size()));
  }
  return bytes;
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(bytes);
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// A data folder with a settings store whose "Path" names it.
struct DataFolder {
  QString folder = MakeTempFolder();
  MemorySettingsStore settings;
  DataFolder() { settings.Save(kRunnerSection, "Path", folder.toStdString()); }
  QString Barprint() const { return folder + "/Barprint"; }
  QString ShelfPrint() const { return folder + "/ShelfPrint"; }
};

class ScriptedDialog : public PrintDialog {
 public:
  explicit ScriptedDialog(bool accept = true, int copies = 1) : accept_(accept), copies_(copies) {}
  bool Run(PrinterTarget& target, int& copies) override {
    ++shown;
    seen = target;
    if (!accept_) return false;
    copies = copies_;
    target.copies = copies_;  // as a real dialog reports it; the run must not rely on it
    return true;
  }
  int shown = 0;
  PrinterTarget seen;

 private:
  bool accept_;
  int copies_;
};

class QuietMessages : public MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool defaultYes) override { return defaultYes; }
  void Inform(std::string_view text, std::string_view) override { informed.emplace_back(text); }
  std::vector<std::string> informed;
};

}  // namespace corvel::test
