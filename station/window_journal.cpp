// The station window's label journal: one row per label printed, its outcome updated as
// the print statuses come, and one line on the status line when the journal cannot be
// written. The journal never stops a label: rows are queued to its own thread.
#include <mutex>

#include "station/station_journal.h"
#include "station/station_window.h"

namespace corvel {

struct StationWindow::JournalRelay {
  std::mutex mutex;
  StationWindow* window = nullptr;
};

StationWindow::JournalLink::~JournalLink() {
  if (!relay) return;
  const std::lock_guard lock(relay->mutex);
  relay->window = nullptr;
}

void StationWindow::JournalLabel() try {
  if (!services_.openJournal) return;
  if (!journal_) {
    journalLink_.relay = std::make_shared<JournalRelay>();
    journalLink_.relay->window = this;
    journal_ = services_.openJournal([relay = journalLink_.relay](const std::string& problem) {
      const std::lock_guard lock(relay->mutex);
      if (!relay->window) return;
      QMetaObject::invokeMethod(
          relay->window,
          [window = relay->window, text = QString::fromStdString(problem)] {
            window->ReportJournalProblem(text);
          },
          Qt::QueuedConnection);
    });
    journal_->OnLabelWritten([relay = journalLink_.relay] {
      const std::lock_guard lock(relay->mutex);
      if (!relay->window) return;
      QMetaObject::invokeMethod(
          relay->window, [window = relay->window] { emit window->journalWritten(); },
          Qt::QueuedConnection);
    });
  }
  const std::uint64_t ticket =
      journal_->Label(JournalEntryOf(CurrentLabelBoxes(), job_, services_.clock, services_.target));
  // Labels sent to a print queue get their outcome from the statuses to come.
  if (services_.makeBackgroundSurface && services_.target.kind == PrinterTarget::Kind::CupsQueue)
    unsentTickets_.push_back(ticket);
} catch (const std::exception& error) {
  // The label has printed: a journal that fails is told, never the label's failure.
  ReportJournalProblem(QString::fromStdString(error.what()));
}

void StationWindow::JournalStatus(const std::string& text, bool refused) {
  if (!journal_) return;
  const LabelOutcome outcome = OutcomeOfStatus(text, refused);
  std::uint64_t ticket = 0;
  if (const auto known = ticketOfJob_.find(outcome.job);
      !outcome.job.empty() && known != ticketOfJob_.end()) {
    ticket = known->second;
  } else if (!unsentTickets_.empty()) {
    // The first status of a label: the oldest one not yet answered for (labels are sent
    // in order, one at a time).
    ticket = unsentTickets_.front();
    unsentTickets_.pop_front();
    if (!outcome.job.empty()) ticketOfJob_[outcome.job] = ticket;
  }
  if (ticket == 0) return;
  journal_->Outcome(ticket, outcome.outcome, outcome.reason, outcome.job);
  if (outcome.outcome == "printed" || outcome.outcome == "refused") ticketOfJob_.erase(outcome.job);
}

void StationWindow::ReportJournalProblem(const QString& problem) {
  if (!journalProblem_.isEmpty()) return;  // told once
  journalProblem_ = problem + " (labels still print; they are not recorded)";
  UpdateStatusLine();
}

}  // namespace corvel
