#pragma once
// Where the journal is and how long it keeps its rows, for every program that writes or
// reads it: keys "Journal" (a file; default $XDG_DATA_HOME/Corvel/journal.sqlite) and
// "KeepDays" (default 400) of the station's section "Zebra", one journal per machine.
#include <string>
#include <string_view>

#include "common/clock.h"
#include "common/settings_store.h"

namespace corvel {

inline constexpr std::string_view kJournalKey = "Journal";
inline constexpr std::string_view kKeepDaysKey = "KeepDays";
inline constexpr int kDefaultKeepDays = 400;

std::string ConfiguredJournalPath(const SettingsStore& settings);

// The first day kept on `today` ("YYYY-MM-DD"); a KeepDays that does not read as a whole
// number keeps the default.
std::string ConfiguredFirstKeptDay(const SettingsStore& settings, LocalTime today);

}  // namespace corvel
