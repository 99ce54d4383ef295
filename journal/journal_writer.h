#pragma once
// Writes the journal on a thread of its own, so that a label never waits for the disk:
// the caller queues a row and goes on. A journal that cannot be written (a full disk, a
// folder without permission, another program holding the database past the bound) is
// reported once through `problem`; labels go on printing and their rows are lost.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "journal/journal_store.h"

namespace corvel {

// How long closing waits for rows still queued to be written.
inline constexpr std::chrono::milliseconds kJournalCloseWait{3000};
// Rows queued beyond this (the disk has stopped answering) are dropped and reported.
inline constexpr std::size_t kJournalQueueLimit = 10000;

class JournalWriter {
 public:
  // Called once, on the writer's thread, with what went wrong.
  using Problem = std::function<void(const std::string& text)>;

  // Opens the journal at `path` on the writer's thread, first removing rows of days
  // before `firstKeptDay` ("YYYY-MM-DD"; empty keeps everything).
  JournalWriter(std::string path, std::string firstKeptDay, Problem problem);
  // Writes what is queued, waiting at most kJournalCloseWait, then stops.
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Queues a label; the ticket names it in later outcome updates.
  std::uint64_t Label(LabelEntry entry);
  // Queues the outcome of the label of `ticket` (a `job` number when known).
  void Outcome(std::uint64_t ticket, std::string outcome, std::string reason, std::string job = {});
  void Run(RunEntry entry);

  // Called on the writer's thread after each label row is committed (set before the first
  // label is queued).
  void OnLabelWritten(std::function<void()> written);

  // Waits up to `wait` until everything queued so far is committed; true when it is.
  bool Flush(std::chrono::milliseconds wait);

  // Shared with the writer's thread, which may outlive the writer by one write.
  struct State;

 private:
  std::shared_ptr<State> state_;
};

// The first day a journal keeps when it keeps `keepDays` days up to and including `today`.
std::string FirstKeptDay(std::chrono::local_time<std::chrono::milliseconds> today, int keepDays);

// This machine's name, for the station column.
std::string HostName();

}  // namespace corvel
