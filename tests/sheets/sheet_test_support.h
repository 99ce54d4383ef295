#pragma once
// Request files, settings and a message box for driving the sheet and shelf-card jobs
// directly on a recording surface.
#include <QString>
#include <fstream>
#include <string>
#include <vector>

#include "common/fixed_record.h"
#include "common/recording_surface.h"
#include "common/settings_store.h"
#include "runner/request_files.h"
#include "runner/run_state.h"
#include "tests/support/test_env.h"

namespace corvel::test {

class RecordedMessages : public MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool yes) override { return yes; }
  void Inform(std::string_view text, std::string_view) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

// One shelf card: texts, sold-by-weight flag and the layout cells {x, y, z, text}.
struct ShelfCard {
  struct Cell {
    int x, y, z;
    std::string text;
  };
  std::vector<std::string> texts;
  std::int16_t byWeight = 0;
  std::vector<Cell> cells;
};

inline ShelfRecord MakeShelfRecord(const ShelfCard& card) {
  ShelfRecord record;
  record.bytes.assign(ShelfRecord::kLength, ' ');
  for (std::size_t k = 0; k < card.texts.size(); ++k)
    PutTextField(record.bytes, 30 * k, 30, card.texts[k]);
  PutInt16(record.bytes, 270, card.byWeight);
  for (const auto& c : card.cells)
    PutTextField(record.bytes, 272 + 30 * (c.x + 11 * c.y + 121 * (c.z - 1)), 30, c.text);
  return record;
}

inline void WriteRecords(const QString& path, const std::vector<RecordBytes>& records) {
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  for (const RecordBytes& r : records)
    out.write(reinterpret_cast<const char*>(r.data()), r.size());
}

inline void WriteShelfRecords(const QString& folder, const std::vector<ShelfCard>& cards) {
  std::vector<RecordBytes> records;
  for (const ShelfCard& card : cards)
    records.push_back(MakeShelfRecord(card).bytes);
  WriteRecords(folder + "/ShelfPrint", records);
}

// "/Barprint" with requests "Item 1" ... "Item n" priced "$1.99" ..., codes 400638100001C,
// 400638100002C, ... (C the check digit), or the codes given.
inline void WriteBarcodeRequests(const QString& folder, int n,
                                 const std::vector<std::string>& codes = {}) {
  std::vector<RecordBytes> records;
  for (int i = 1; i <= n; ++i) {
    std::string code = i <= int(codes.size()) ? codes[i - 1] : "";
    if (codes.empty()) {
      code = "400638" + std::to_string(100000 + i);
      int sum = 0;
      for (int k = 0; k < 12; ++k)
        sum += (code[k] - '0') * (k % 2 == 0 ? 1 : 3);
      code += std::to_string((10 - sum % 10) % 10);
    }
    RecordBytes bytes(BarcodeRequestRecord::kLength, 0);
    PutTextField(bytes, 0, 14, code);
    PutTextField(bytes, 14, 32, "Item " + std::to_string(i));
    PutTextField(bytes, 46, 18, "$" + std::to_string(i) + ".99");
    records.push_back(bytes);
  }
  WriteRecords(folder + "/Barprint", records);
}

// Everything a job needs, with "Path" pointing at a fresh request folder.
struct JobRig {
  JobRig() : folder(MakeTempFolder()) { settings.Save("Quorrel", "Path", folder.toStdString()); }
  QString folder;
  MemorySettingsStore settings;
  RecordingSurface surface;
  RecordedMessages messages;
  RunContext run{settings, surface, messages, {}, {}};
};

}  // namespace corvel::test
