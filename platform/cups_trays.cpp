#include "platform/cups_trays.h"

#include <algorithm>

#include "common/text.h"

namespace corvel {
namespace {

// Letters and digits only, lower case: "Tray1", "tray-1" and "TRAY_1" are one name.
std::string SlotKey(std::string_view name) {
  std::string key;
  for (const char c : name) {
    const char lower = AsciiLower(c);
    if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) key += lower;
  }
  return key;
}

struct CommonSlots {
  int bin;
  std::vector<std::string> names;
};

const std::vector<CommonSlots>& CommonSlotTable() {
  static const std::vector<CommonSlots> table = {
      {1, {"Upper", "Top", "Tray1"}},
      {2, {"Lower", "Bottom", "Tray2"}},
      {3, {"Middle", "Tray3"}},
      {4, {"Manual", "ManualFeed"}},
      {5, {"Envelope"}},
      {8, {"Tractor"}},
      {11, {"LargeCapacity"}},
      {14, {"Cassette", "Tray1"}},
  };
  return table;
}

}  // namespace

bool IsPlainSlotName(std::string_view name) {
  if (name.empty()) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte < 0x7F &&
           std::string_view("'\"\\,={}").find(c) == std::string_view::npos;
  });
}

std::vector<std::string> ParsePpdInputSlots(std::string_view ppd) {
  std::vector<std::string> found;
  constexpr std::string_view kKey = "*InputSlot ";
  for (std::size_t at = 0; (at = ppd.find(kKey, at)) != std::string_view::npos; at += kKey.size()) {
    if (at > 0 && ppd[at - 1] != '\n' && ppd[at - 1] != '\r') continue;
    std::string_view rest = ppd.substr(at + kKey.size());
    rest = rest.substr(0, rest.find_first_of("/:\r\n"));
    if (IsPlainSlotName(rest)) found.emplace_back(rest);
  }
  return found;
}

double ParsePpdDefaultResolution(std::string_view ppd) {
  constexpr std::string_view kKey = "*DefaultResolution:";
  for (std::size_t at = 0; (at = ppd.find(kKey, at)) != std::string_view::npos; at += kKey.size()) {
    if (at > 0 && ppd[at - 1] != '\n' && ppd[at - 1] != '\r') continue;
    std::string_view rest = ppd.substr(at + kKey.size());
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    while (!rest.empty() && rest.front() == ' ')
      rest.remove_prefix(1);
    int dots = 0;
    std::size_t digits = 0;
    for (; digits < rest.size() && digits < 5 && rest[digits] >= '0' && rest[digits] <= '9';
         ++digits)
      dots = dots * 10 + (rest[digits] - '0');
    if (digits == 0 || dots == 0) return 0;
    // "300dpi", "300x600dpi", "118dpcm": the unit closes the text.
    if (rest.ends_with("dpi")) return dots;
    if (rest.ends_with("dpcm")) return dots * 2.54;
    return 0;
  }
  return 0;
}

std::vector<std::string> CommonSlotNames(int bin) {
  for (const CommonSlots& row : CommonSlotTable()) {
    if (row.bin == bin) return row.names;
  }
  return {};
}

std::string ChooseInputSlot(int bin, const std::map<int, std::string>& explicitSlots,
                            const std::vector<std::string>& offered) {
  const auto offeredAs = [&](std::string_view name) -> std::string {
    for (const std::string& slot : offered) {
      if (SlotKey(slot) == SlotKey(name) && !SlotKey(name).empty()) return slot;
    }
    return {};
  };
  if (const auto entry = explicitSlots.find(bin); entry != explicitSlots.end()) {
    return entry->second.empty() ? std::string() : offeredAs(entry->second);
  }
  for (const std::string& name : CommonSlotNames(bin)) {
    if (std::string slot = offeredAs(name); !slot.empty()) return slot;
  }
  return {};
}

}  // namespace corvel
