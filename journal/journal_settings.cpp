#include "journal/journal_settings.h"

#include <charconv>

#include "common/settings_sections.h"
#include "journal/journal_store.h"
#include "journal/journal_writer.h"

namespace corvel {

std::string ConfiguredJournalPath(const SettingsStore& settings) {
  return JournalPath(settings.GetOr(kStationSection, kJournalKey, ""));
}

std::string ConfiguredFirstKeptDay(const SettingsStore& settings, LocalTime today) {
  const std::string text = settings.GetOr(kStationSection, kKeepDaysKey, "");
  int days = kDefaultKeepDays;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
  if (error != std::errc() || end != text.data() + text.size()) days = kDefaultKeepDays;
  return FirstKeptDay(today, days);
}

}  // namespace corvel
