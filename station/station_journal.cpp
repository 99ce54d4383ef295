#include "station/station_journal.h"

#include <cmath>
#include <mutex>

#include "common/number_text.h"
#include "journal/journal_settings.h"

namespace corvel {
namespace {

// A decimal text ("1.235", "12.50") in thousandths or hundredths, rounded; 0 when it
// does not read.
std::int64_t Scaled(const std::string& text, double scale) {
  try {
    const double value = ReadLeadingNumber(text);
    return std::isfinite(value) ? static_cast<std::int64_t>(std::llround(value * scale)) : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

std::string StationJournalPath(const SettingsStore& settings) {
  return ConfiguredJournalPath(settings);
}

std::string StationFirstKeptDay(const SettingsStore& settings, const Clock& clock) {
  return ConfiguredFirstKeptDay(settings, clock.Now());
}

std::unique_ptr<JournalWriter> OpenStationJournal(const SettingsStore& settings, const Clock& clock,
                                                  JournalWriter::Problem problem) {
  // Settings that cannot be read (the station says so itself) leave the default journal.
  std::string path = JournalPath(""), firstKept;
  try {
    path = StationJournalPath(settings);
    firstKept = StationFirstKeptDay(settings, clock);
  } catch (const std::exception&) {
  }
  return std::make_unique<JournalWriter>(path, firstKept, std::move(problem));
}

LabelEntry JournalEntryOf(const LabelBoxes& boxes, const BarcodeJob& job, const Clock& clock,
                          const PrinterTarget& target) {
  const LabelFigures figures = WorkOutLabelFigures(boxes);
  LabelEntry entry;
  entry.time = JournalTime(clock.Now());
  entry.station = HostName();
  entry.item = Scaled(boxes.itemNumber, 1);
  entry.code = boxes.code;
  std::string description = boxes.description1;
  description.erase(description.find_last_not_of(' ') + 1);
  entry.description = description;
  entry.netGrams = Scaled(figures.weight, 1000);
  entry.unitPrice = figures.unitPrice;
  entry.priceCents = Scaled(figures.priceText, 100);
  entry.barcode = job.DataDigits.size() == 12 ? job.DataDigits + std::to_string(job.CheckDigit)
                                              : job.DataDigits;
  entry.printer = target.Describe();
  entry.outcome = target.kind == PrinterTarget::Kind::CupsQueue ? "queued" : "printed";
  return entry;
}

LabelOutcome OutcomeOfStatus(const std::string& text, bool refused) {
  LabelOutcome outcome;
  if (const std::size_t at = text.rfind("(job "); at != std::string::npos) {
    const std::size_t end = text.find(')', at);
    if (end != std::string::npos) outcome.job = text.substr(at + 5, end - at - 5);
  }
  if (refused) {
    outcome.outcome = "refused";
    outcome.reason = text;
  } else if (text.starts_with("printed")) {
    outcome.outcome = "printed";
  } else if (text.starts_with("held")) {
    outcome.outcome = "held";
    outcome.reason = text;
  } else {
    outcome.outcome = "queued";
  }
  return outcome;
}

std::string JournalOneLabel(const SettingsStore& settings, const Clock& clock, LabelEntry entry) {
  std::string told;
  std::mutex mutex;
  {
    const std::unique_ptr<JournalWriter> journal =
        OpenStationJournal(settings, clock, [&](const std::string& problem) {
          const std::lock_guard lock(mutex);
          told = problem;
        });
    journal->Label(std::move(entry));
    if (!journal->Flush(kJournalBusyWait + kJournalCloseWait))
      return "the journal was not written within its bound";
  }
  const std::lock_guard lock(mutex);
  return told;
}

}  // namespace corvel
