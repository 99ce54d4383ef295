#pragma once
// The label journal: every weighed label printed and every run of the print runner, one
// row each, in an SQLite database (WAL mode, every commit flushed to the disk, so a
// killed process or a lost power supply keeps every committed row and the file intact).
// Plain C++ over the SQLite C API; one JournalStore per thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace corvel {

// One label as printed. Weights in grams and prices in cents are whole numbers, so the
// totals add up exactly.
struct LabelEntry {
  std::int64_t id = 0;  // given by the journal
  std::string time;     // local time "YYYY-MM-DD HH:MM:SS"
  std::string station;  // the host's name
  std::int64_t item = 0;
  std::string code;
  std::string description;
  std::int64_t netGrams = 0;
  std::string unitPrice;  // as the price box held it
  std::int64_t priceCents = 0;
  std::string barcode;             // the symbol's 13 digits
  std::string printer;             // the queue, or the PDF folder
  std::string job;                 // the print job's number on a queue, else empty
  std::string outcome = "queued";  // queued, printed, held or refused
  std::string reason;              // what the printer said when it did not print
};

// One run of the print runner.
struct RunEntry {
  std::int64_t id = 0;
  std::string time;
  std::string station;
  std::string kind;  // the job selector ("Z", "44", "S1", ...)
  std::int64_t labels = 0;
  std::int64_t pages = 0;
  std::string printer;
  std::string outcome;  // printed, cancelled or failed
  std::string reason;
};

struct LabelFilter {
  std::string fromDay;  // "YYYY-MM-DD", both days included; empty: no bound
  std::string toDay;
  std::optional<std::int64_t> item;
};

struct ProductTotal {
  std::int64_t item = 0;
  std::string description;
  std::int64_t labels = 0;
  std::int64_t netGrams = 0;
  std::int64_t priceCents = 0;
};

struct DayTotals {
  std::vector<ProductTotal> products;  // by item number
  ProductTotal all;                    // the day's grand totals (item 0)
};

// How long a write waits for another writer of the same database (a second program
// printing at the same moment) before it gives up.
inline constexpr std::chrono::milliseconds kJournalBusyWait{2000};

class JournalStore {
 public:
  // Opens (creating it and its folder when missing) the journal at `path`. Throws
  // IoError naming the path and SQLite's reason.
  explicit JournalStore(const std::string& path);
  ~JournalStore();
  JournalStore(const JournalStore&) = delete;
  JournalStore& operator=(const JournalStore&) = delete;

  // Each call is one transaction, committed when it returns; failures throw IoError.
  std::int64_t AddLabel(const LabelEntry& entry);
  // Many labels in one transaction (an import of another station's rows, a benchmark).
  void AddLabels(const std::vector<LabelEntry>& entries);
  void SetOutcome(std::int64_t id, const std::string& outcome, const std::string& reason,
                  const std::string& job);
  std::int64_t AddRun(const RunEntry& entry);
  // Removes rows of days before `firstKeptDay` ("YYYY-MM-DD"); the number removed.
  std::int64_t PruneBefore(const std::string& firstKeptDay);

  std::vector<LabelEntry> Labels(const LabelFilter& filter) const;
  std::vector<RunEntry> Runs(const LabelFilter& filter) const;
  DayTotals Totals(const std::string& day) const;

  // "ok" when the database is sound (PRAGMA integrity_check).
  std::string IntegrityCheck() const;

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
};

// The journal's path: `configured` (key "Journal" in section "Zebra") when set, else
// $XDG_DATA_HOME/Corvel/journal.sqlite (~/.local/share when unset).
std::string JournalPath(const std::string& configured);

// "YYYY-MM-DD HH:MM:SS" of a local time, and "YYYY-MM-DD" of its day.
std::string JournalTime(std::chrono::local_time<std::chrono::milliseconds> time);
std::string JournalDay(std::chrono::local_time<std::chrono::milliseconds> time);

}  // namespace corvel
