#pragma once
// The station's side of the label journal: the journal the settings name
// (journal/journal_settings.h), the row of a label printed from the window's boxes, and
// what a print status says about the label's outcome.
#include <memory>
#include <string>

#include "barcode/barcode_job.h"
#include "common/clock.h"
#include "common/printer_target.h"
#include "common/settings_store.h"
#include "journal/journal_writer.h"
#include "station/weighed_label.h"

namespace corvel {

// The journal the settings name (or the default one), pruned to KeepDays at opening.
std::unique_ptr<JournalWriter> OpenStationJournal(const SettingsStore& settings, const Clock& clock,
                                                  JournalWriter::Problem problem);

// The journal's path and the first day it keeps, as the settings say.
std::string StationJournalPath(const SettingsStore& settings);
std::string StationFirstKeptDay(const SettingsStore& settings, const Clock& clock);

// The row of a label just printed from `boxes` with the symbol in `job`.
LabelEntry JournalEntryOf(const LabelBoxes& boxes, const BarcodeJob& job, const Clock& clock,
                          const PrinterTarget& target);

// What a print status ("queued on printer labels (job 12)", "printed ...", "held: ...",
// "refused: ...") says of a label.
struct LabelOutcome {
  std::string outcome;  // queued, printed, held or refused
  std::string reason;   // the status itself when the label did not print
  std::string job;      // the job number when the status names one
};
LabelOutcome OutcomeOfStatus(const std::string& text, bool refused);

// Writes one label's row at once (for a program that prints one label and ends), waiting
// at most the journal's bound: empty, or what went wrong.
std::string JournalOneLabel(const SettingsStore& settings, const Clock& clock, LabelEntry entry);

}  // namespace corvel
