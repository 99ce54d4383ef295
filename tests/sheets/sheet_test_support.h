#pragma once
// Request files, settings and a message box for driving the sheet and shelf-card jobs
// directly on a recording surface.
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "common/dialogs.h"
#include "common/recording_surface.h"
#include "common/settings_store.h"
#include "runner/request_files.h"
#include "runner/run_state.h"

namespace corvel::test {

// Records every message instead of showing it.
class RecordedMessages : public MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool defaultYes) override { return defaultYes; }
  void Inform(std::string_view text, std::string_view) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

struct BarcodeRequest {
  std::string code;
  std::string description;
  std::string price;
};

// One shelf card as the suite would write it: texts, sold-by-weight flag and the
// layout cells that matter to a test (everything else blank).
struct ShelfCard {
  struct Cell {
    int x, y, z;
    std::string text;
  };
  std::vector<std::string> texts;  // Texts(0..8)
  std::int16_t byWeight = 0;
  std::vector<Cell> cells;
};

ShelfRecord MakeShelfRecord(const ShelfCard& card);

// Writes "<folder>/Barprint" and "<folder>/ShelfPrint".
void WriteBarcodeRequests(const QString& folder, const std::vector<BarcodeRequest>& requests);
void WriteShelfRecords(const QString& folder, const std::vector<ShelfCard>& cards);

// Requests "Item 1" ... "Item n" priced "$1.99" ... with valid EAN-13 codes
// 400638100001C, 400638100002C, ... (C their check digit).
std::vector<BarcodeRequest> NumberedRequests(int n);

// Everything a job needs, with "Path" pointing at a fresh request folder.
struct JobRig {
  JobRig();
  QString folder;
  MemorySettingsStore settings;
  RecordingSurface surface;
  RecordedMessages messages;
  RunContext run{settings, surface, messages, {}, {}};
};

// The recorded texts whose text is `text` exactly.
std::vector<RecordedOp> TextsEqual(const RecordingSurface& surface, const std::string& text);

}  // namespace corvel::test
