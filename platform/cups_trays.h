#pragma once
// Paper trays of a print queue: the tray names a queue offers and the tray to ask for
// for one of the programs' paper bin numbers; and the resolution its PPD names. Plain
// text rules, no print server.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// True for a tray name that can travel as one job option value: printable ASCII without
// quoting, escaping or separating characters.
bool IsPlainSlotName(std::string_view name);

// The InputSlot choices in a queue's PPD text: the lines "*InputSlot Name/Text: ...".
// Choices holding quoting or separator characters are left out.
std::vector<std::string> ParsePpdInputSlots(std::string_view ppd);

// The across-the-page resolution of the PPD's "*DefaultResolution: 203dpi" line
// ("300x600dpi" gives 300, "118dpcm" 299.72); 0 without a readable one.
double ParsePpdDefaultResolution(std::string_view ppd);

// The queue's common slot names for a standard bin number, in order of preference:
//   1 upper: Upper, Top, Tray1        2 lower: Lower, Bottom, Tray2
//   3 middle: Middle, Tray3           4 manual: Manual, ManualFeed
//   5 envelope: Envelope              8 tractor: Tractor
//   11 large capacity: LargeCapacity  14 cassette: Cassette, Tray1
// Other numbers (7 automatic among them) have none.
std::vector<std::string> CommonSlotNames(int bin);

// The tray to request for `bin` on a queue offering `offered`, or "" for the queue's
// default tray:
// 1. an entry for the bin in `explicitSlots` decides alone: its choice when the queue
//    offers it, else the default tray (an empty entry asks for the default tray);
// 2. otherwise the first of CommonSlotNames(bin) the queue offers;
// 3. otherwise the default tray.
// Names match ignoring letter case, blanks, '-' and '_' ("Tray1" is IPP's "tray-1");
// the result is spelt as the queue spells it.
std::string ChooseInputSlot(int bin, const std::map<int, std::string>& explicitSlots,
                            const std::vector<std::string>& offered);

}  // namespace corvel
