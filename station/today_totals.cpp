#include "station/today_totals.h"

#include <sys/stat.h>

#include <QDockWidget>
#include <QVBoxLayout>
#include <charconv>

#include "station/station_journal.h"
#include "station/station_window.h"

namespace corvel {

TodayTotals* TodayTotals::AddTo(QDockWidget& dock, StationWindow& window,
                                const SettingsStore& settings) {
  std::string path;
  try {
    path = StationJournalPath(settings);
  } catch (const std::exception&) {
    // Unreadable settings: the station says so itself; the default journal is shown.
    path = JournalPath("");
  }
  auto* holder = new QWidget(&dock);
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  if (QWidget* shown = dock.widget()) layout->addWidget(shown, 1);
  auto* totals = new TodayTotals(window, std::move(path), holder);
  layout->addWidget(totals);
  dock.setWidget(holder);
  return totals;
}

TodayTotals::TodayTotals(StationWindow& window, std::string journalPath, QWidget* parent)
    : QLabel(parent), window_(window), journalPath_(std::move(journalPath)) {
  setObjectName("TodayTotals");
  connect(window.Text8, &QLineEdit::textChanged, this, &TodayTotals::Refresh);
  connect(&window, &StationWindow::journalWritten, this, &TodayTotals::Refresh);
  Refresh();
}

void TodayTotals::Refresh() {
  const std::string text = window_.Text8->text().trimmed().toStdString();
  std::int64_t item = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), item);
  ProductTotal today;
  today.item = item;
  if (error == std::errc() && end == text.data() + text.size()) {
    try {
      struct stat info {};
      // Reading never creates the journal; it appears with the first label.
      if (!store_ && ::stat(journalPath_.c_str(), &info) == 0)
        store_ = std::make_unique<JournalStore>(journalPath_);
      if (store_) {
        // The window's clock says what today is.
        for (const ProductTotal& t :
             store_->Totals(JournalDay(window_.StationClock().Now())).products)
          if (t.item == item) today = t;
      }
    } catch (const std::exception& problem) {
      setText(QString("Today: the journal cannot be read (%1)").arg(problem.what()));
      return;
    }
  }
  setText(QString("Today, item %1: %2 %3, %4 kg")
              .arg(item)
              .arg(today.labels)
              .arg(today.labels == 1 ? "label" : "labels")
              .arg(QString::number(static_cast<double>(today.netGrams) / 1000.0, 'f', 3)));
}

}  // namespace corvel
