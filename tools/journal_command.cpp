// "corvel journal": the labels the station and "corvel label" printed and the runs of
// sheetwise, from the journal, as a table or CSV; and a day's totals per product (the
// count of labels, total net weight and total price) with the day's grand totals.
#include <sys/stat.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/csv.h"
#include "common/ini_settings_store.h"
#include "common/text.h"
#include "journal/journal_store.h"
#include "station/station_journal.h"
#include "tools/options/option_table.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

bool IsDay(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int parts[3] = {};
  const std::size_t at[3] = {0, 5, 8}, length[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    const char* end = text.data() + at[i] + length[i];
    const auto [stop, error] = std::from_chars(text.data() + at[i], end, parts[i]);
    if (error != std::errc() || stop != end || text[at[i]] == '-') return false;
  }
  return std::chrono::year_month_day(std::chrono::year(parts[0]),
                                     std::chrono::month(static_cast<unsigned>(parts[1])),
                                     std::chrono::day(static_cast<unsigned>(parts[2])))
      .ok();
}

// Whole thousandths or hundredths written with their decimals ("1.235", "-0.05").
std::string Decimal(std::int64_t value, int decimals) {
  const std::int64_t scale = decimals == 3 ? 1000 : 100;
  const std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  std::string fraction = std::to_string(magnitude % static_cast<std::uint64_t>(scale));
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
  return (value < 0 ? "-" : "") + std::to_string(magnitude / static_cast<std::uint64_t>(scale)) +
         "." + fraction;
}

// Rows as CSV, or as a table with each column as wide as its widest text; numbers
// (`right` columns) aligned to the right.
void Print(const std::vector<std::string>& header,
           const std::vector<std::vector<std::string>>& rows, const std::vector<bool>& right,
           bool csv) {
  if (csv) {
    std::fputs(CsvLine(header).c_str(), stdout);
    for (const auto& row : rows)
      std::fputs(CsvLine(row).c_str(), stdout);
    return;
  }
  std::vector<std::size_t> width(header.size());
  for (std::size_t c = 0; c < header.size(); ++c) {
    width[c] = CharCount(header[c]);
    for (const auto& row : rows)
      width[c] = std::max(width[c], CharCount(row[c]));
  }
  const auto line = [&](const std::vector<std::string>& row) {
    std::string text;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string pad(width[c] - CharCount(row[c]), ' ');
      text += (c ? "  " : "") + (right[c] ? pad + row[c] : row[c] + pad);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    std::printf("%s\n", text.c_str());
  };
  line(header);
  for (const auto& row : rows)
    line(row);
}

// An option that takes a day, YYYY-MM-DD.
OptionRow DayOption(const std::string& name, std::string& into) {
  return Value(name, [name, &into](const std::string& text) {
    if (!IsDay(text)) return name + " takes a day YYYY-MM-DD, not \"" + text + "\"";
    into = text;
    return std::string();
  });
}

int RunJournal(const std::vector<std::string>& args) {
  const bool totals = !args.empty() && args.front() == "totals";
  bool csv = false, runs = false;
  LabelFilter filter;
  std::string day, db;
  OptionTable table{"journal", UsageOf("journal"), {Switch("--csv", csv), Value("--db", db)}};
  if (totals) {
    table.options.push_back(DayOption("--day", day));
  } else {
    table.options.push_back(Switch("--runs", runs));
    table.options.push_back(DayOption("--from", filter.fromDay));
    table.options.push_back(DayOption("--to", filter.toDay));
    table.options.push_back(Value("--item", [&](const std::string& value) {
      std::int64_t item = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), item);
      if (value.empty() || error != std::errc() || end != value.data() + value.size())
        return "--item takes an item number, not \"" + value + "\"";
      filter.item = item;
      return std::string();
    }));
  }
  if (const std::string problem = ParseOptions(
          table, std::vector<std::string>(args.begin() + (totals ? 1 : 0), args.end()));
      !problem.empty())
    return UsageError(table, problem);
  try {
    const SystemClock clock;
    if (db.empty()) db = StationJournalPath(IniSettingsStore(IniSettingsStore::DefaultPath()));
    // Reading never creates a journal.
    struct stat info {};
    if (::stat(db.c_str(), &info) != 0) {
      std::fprintf(stderr, "corvel journal: there is no journal at %s (no label printed yet)\n",
                   db.c_str());
      return 1;
    }
    const JournalStore store(db);
    if (totals) {
      if (day.empty()) day = JournalDay(clock.Now());
      const DayTotals sums = store.Totals(day);
      std::vector<std::vector<std::string>> rows;
      for (const ProductTotal& t : sums.products)
        rows.push_back({day, std::to_string(t.item), t.description, std::to_string(t.labels),
                        Decimal(t.netGrams, 3), Decimal(t.priceCents, 2)});
      rows.push_back({day, "total", "", std::to_string(sums.all.labels),
                      Decimal(sums.all.netGrams, 3), Decimal(sums.all.priceCents, 2)});
      Print({"day", "item", "description", "labels", "net_kg", "price"}, rows,
            {false, true, false, true, true, true}, csv);
      return 0;
    }
    std::vector<std::vector<std::string>> rows;
    if (runs) {
      for (const RunEntry& r : store.Runs(filter))
        rows.push_back({r.time, r.station, r.kind, std::to_string(r.labels),
                        std::to_string(r.pages), r.printer, r.outcome, r.reason});
      Print({"time", "station", "kind", "labels", "pages", "printer", "outcome", "reason"}, rows,
            {false, false, false, true, true, false, false, false}, csv);
      return 0;
    }
    for (const LabelEntry& e : store.Labels(filter))
      rows.push_back({e.time, e.station, std::to_string(e.item), e.code, e.description,
                      Decimal(e.netGrams, 3), e.unitPrice, Decimal(e.priceCents, 2), e.barcode,
                      e.printer, e.job, e.outcome, e.reason});
    Print({"time", "station", "item", "code", "description", "net_kg", "unit_price", "price",
           "barcode", "printer", "job", "outcome", "reason"},
          rows,
          {false, false, true, false, false, true, true, true, false, false, true, false, false},
          csv);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "corvel journal: %s\n", error.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("journal", &RunJournal);

}  // namespace
}  // namespace corvel::tools
