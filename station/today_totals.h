#pragma once
// Under the label preview: how many labels of the selected product were printed today
// and their total net weight, from the journal; updated when another product is chosen
// and when a label's row reaches the journal.
#include <QLabel>
#include <memory>
#include <string>

#include "journal/journal_store.h"

class QDockWidget;

namespace corvel {

class SettingsStore;
class StationWindow;

class TodayTotals : public QLabel {
 public:
  // Puts the line under what `dock` shows; follows the window's item number box.
  static TodayTotals* AddTo(QDockWidget& dock, StationWindow& window,
                            const SettingsStore& settings);

  void Refresh();

 private:
  TodayTotals(StationWindow& window, std::string journalPath, QWidget* parent);

  StationWindow& window_;
  std::string journalPath_;
  std::unique_ptr<JournalStore> store_;  // opened once the journal exists
};

}  // namespace corvel
