#include "journal/journal_store.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/errors.h"

namespace corvel {
namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS labels(
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  station TEXT NOT NULL,
  item INTEGER NOT NULL,
  code TEXT NOT NULL,
  description TEXT NOT NULL,
  net_grams INTEGER NOT NULL,
  unit_price TEXT NOT NULL,
  price_cents INTEGER NOT NULL,
  barcode TEXT NOT NULL,
  printer TEXT NOT NULL,
  job TEXT NOT NULL,
  outcome TEXT NOT NULL,
  reason TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS labels_by_time ON labels(time);
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  station TEXT NOT NULL,
  kind TEXT NOT NULL,
  labels INTEGER NOT NULL,
  pages INTEGER NOT NULL,
  printer TEXT NOT NULL,
  outcome TEXT NOT NULL,
  reason TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS runs_by_time ON runs(time);
)";

[[noreturn]] void Fail(sqlite3* db, const std::string& path, const std::string& what) {
  throw IoError("the journal " + path + " " + what + ": " +
                (db ? sqlite3_errmsg(db) : "out of memory"));
}

// One prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& path, const char* sql) : db_(db), path_(path) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
      Fail(db, path, "cannot be read");
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int at, const std::string& text) {
    sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int at, std::int64_t value) {
    sqlite3_bind_int64(statement_, at, value);
    return *this;
  }
  // True while there is a row to read.
  bool Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) Fail(db_, path_, "cannot be written");
    return false;
  }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                : std::string();
  }
  std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  void Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

 private:
  sqlite3* db_;
  const std::string& path_;
  sqlite3_stmt* statement_ = nullptr;
};

// The bounds of a day filter on the time column: "YYYY-MM-DD" sorts before every time
// of that day, "YYYY-MM-DD~" after all of them.
std::string Upper(const std::string& day) {
  return day.empty() ? "~" : day + "~";
}

}  // namespace

JournalStore::JournalStore(const std::string& path) : path_(path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw IoError("the journal " + path + " cannot be opened: " + reason);
  }
  sqlite3_busy_timeout(db_, static_cast<int>(kJournalBusyWait.count()));
  // WAL: readers never block the writer; FULL: each commit is on the disk before it
  // returns, so a power cut keeps it.
  const std::string setup =
      std::string("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;") + kSchema;
  if (sqlite3_exec(db_, setup.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    const std::string reason = sqlite3_errmsg(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    throw IoError("the journal " + path + " cannot be opened: " + reason);
  }
}

JournalStore::~JournalStore() {
  sqlite3_close(db_);
}

namespace {

constexpr const char* kInsertLabel =
    "INSERT INTO labels(time, station, item, code, description, net_grams, unit_price, "
    "price_cents, barcode, printer, job, outcome, reason) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)";

void BindLabel(Statement& insert, const LabelEntry& e) {
  insert.Bind(1, e.time).Bind(2, e.station).Bind(3, e.item).Bind(4, e.code).Bind(5, e.description);
  insert.Bind(6, e.netGrams).Bind(7, e.unitPrice).Bind(8, e.priceCents).Bind(9, e.barcode);
  insert.Bind(10, e.printer).Bind(11, e.job).Bind(12, e.outcome).Bind(13, e.reason);
}

}  // namespace

std::int64_t JournalStore::AddLabel(const LabelEntry& entry) {
  Statement insert(db_, path_, kInsertLabel);
  BindLabel(insert, entry);
  insert.Step();
  return sqlite3_last_insert_rowid(db_);
}

void JournalStore::AddLabels(const std::vector<LabelEntry>& entries) {
  if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    Fail(db_, path_, "cannot be written");
  try {
    Statement insert(db_, path_, kInsertLabel);
    for (const LabelEntry& entry : entries) {
      BindLabel(insert, entry);
      insert.Step();
      insert.Reset();
    }
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    Fail(db_, path_, "cannot be written");
}

void JournalStore::SetOutcome(std::int64_t id, const std::string& outcome,
                              const std::string& reason, const std::string& job) {
  Statement update(db_, path_,
                   "UPDATE labels SET outcome = ?2, reason = ?3, "
                   "job = CASE WHEN ?4 = '' THEN job ELSE ?4 END WHERE id = ?1");
  update.Bind(1, id).Bind(2, outcome).Bind(3, reason).Bind(4, job);
  update.Step();
}

std::int64_t JournalStore::AddRun(const RunEntry& e) {
  Statement insert(db_, path_,
                   "INSERT INTO runs(time, station, kind, labels, pages, printer, outcome, "
                   "reason) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  insert.Bind(1, e.time).Bind(2, e.station).Bind(3, e.kind).Bind(4, e.labels).Bind(5, e.pages);
  insert.Bind(6, e.printer).Bind(7, e.outcome).Bind(8, e.reason);
  insert.Step();
  return sqlite3_last_insert_rowid(db_);
}

std::int64_t JournalStore::PruneBefore(const std::string& firstKeptDay) {
  Statement labels(db_, path_, "DELETE FROM labels WHERE time < ?1");
  labels.Bind(1, firstKeptDay).Step();
  std::int64_t removed = sqlite3_changes(db_);
  Statement runs(db_, path_, "DELETE FROM runs WHERE time < ?1");
  runs.Bind(1, firstKeptDay).Step();
  return removed + sqlite3_changes(db_);
}

std::vector<LabelEntry> JournalStore::Labels(const LabelFilter& filter) const {
  Statement select(db_, path_,
                   "SELECT id, time, station, item, code, description, net_grams, unit_price, "
                   "price_cents, barcode, printer, job, outcome, reason FROM labels "
                   "WHERE time >= ?1 AND time < ?2 AND (?3 = 0 OR item = ?4) ORDER BY time, id");
  select.Bind(1, filter.fromDay).Bind(2, Upper(filter.toDay));
  select.Bind(3, std::int64_t{filter.item.has_value()}).Bind(4, filter.item.value_or(0));
  std::vector<LabelEntry> rows;
  while (select.Step()) {
    LabelEntry& e = rows.emplace_back();
    e.id = select.Int(0), e.time = select.Text(1), e.station = select.Text(2);
    e.item = select.Int(3), e.code = select.Text(4), e.description = select.Text(5);
    e.netGrams = select.Int(6), e.unitPrice = select.Text(7), e.priceCents = select.Int(8);
    e.barcode = select.Text(9), e.printer = select.Text(10), e.job = select.Text(11);
    e.outcome = select.Text(12), e.reason = select.Text(13);
  }
  return rows;
}

std::vector<RunEntry> JournalStore::Runs(const LabelFilter& filter) const {
  Statement select(db_, path_,
                   "SELECT id, time, station, kind, labels, pages, printer, outcome, reason "
                   "FROM runs WHERE time >= ?1 AND time < ?2 ORDER BY time, id");
  select.Bind(1, filter.fromDay).Bind(2, Upper(filter.toDay));
  std::vector<RunEntry> rows;
  while (select.Step()) {
    RunEntry& e = rows.emplace_back();
    e.id = select.Int(0), e.time = select.Text(1), e.station = select.Text(2);
    e.kind = select.Text(3), e.labels = select.Int(4), e.pages = select.Int(5);
    e.printer = select.Text(6), e.outcome = select.Text(7), e.reason = select.Text(8);
  }
  return rows;
}

DayTotals JournalStore::Totals(const std::string& day) const {
  // Labels the printer refused were never stuck on anything: they do not count. The
  // description is the one of the item's last label (SQLite takes a bare column from
  // the row MAX() picks).
  Statement select(db_, path_,
                   "SELECT item, description, MAX(id), COUNT(*), SUM(net_grams), "
                   "SUM(price_cents) FROM labels WHERE time >= ?1 AND time < ?2 AND "
                   "outcome <> 'refused' GROUP BY item ORDER BY item");
  select.Bind(1, day).Bind(2, Upper(day));
  DayTotals totals;
  while (select.Step()) {
    ProductTotal& t = totals.products.emplace_back();
    t.item = select.Int(0), t.description = select.Text(1);
    t.labels = select.Int(3), t.netGrams = select.Int(4), t.priceCents = select.Int(5);
    totals.all.labels += t.labels;
    totals.all.netGrams += t.netGrams;
    totals.all.priceCents += t.priceCents;
  }
  return totals;
}

std::string JournalStore::IntegrityCheck() const {
  Statement check(db_, path_, "PRAGMA integrity_check");
  std::string result;
  while (check.Step())
    result += (result.empty() ? "" : "\n") + check.Text(0);
  return result;
}

std::string JournalPath(const std::string& configured) {
  if (!configured.empty()) return configured;
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder;
  if (data && *data == '/') {
    folder = data;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : ".") + "/.local/share";
  }
  return folder + "/Corvel/journal.sqlite";
}

std::string JournalTime(std::chrono::local_time<std::chrono::milliseconds> time) {
  const auto day = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::hh_mm_ss clock(std::chrono::floor<std::chrono::seconds>(time - day));
  char text[16];
  std::snprintf(text, sizeof text, " %02d:%02d:%02d", static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return JournalDay(time) + text;
}

std::string JournalDay(std::chrono::local_time<std::chrono::milliseconds> time) {
  const std::chrono::year_month_day date(std::chrono::floor<std::chrono::days>(time));
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

}  // namespace corvel
