// Shelf cards: one document per card of the shelf request file, in the layout the
// request chose ("S1" A5 landscape, "S2" A5 portrait, "S3" the user-defined size).
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "runner/shelf_card_elements.h"

namespace corvel {
namespace {

// Reads a 16-bit bin number and writes it straight back, so the key exists afterwards.
std::int16_t ReadBinSetting(SettingsStore& settings, const char* key, const char* fallback) {
  const std::int16_t bin =
      ToInt16(ReadLeadingNumber(settings.GetOr(kPrinterSection, key, fallback)));
  settings.Save(kPrinterSection, key, std::to_string(bin));
  return bin;
}

// One line for the caller: how many cards were not printed whole, the first few
// problems by card and element, and how many more there were.
std::string Summary(int cutCards, std::size_t cards, const std::vector<std::string>& problems) {
  constexpr std::size_t kShown = 3;
  std::string line = std::to_string(cutCards) + " of " + std::to_string(cards) +
                     " shelf cards were not printed whole: ";
  for (std::size_t i = 0; i < problems.size() && i < kShown; ++i)
    line += (i ? "; " : "") + problems[i];
  if (problems.size() > kShown)
    line += "; and " + std::to_string(problems.size() - kShown) + " more";
  return line;
}

}  // namespace

void PrintShelfCards(RunContext& run) {
  const std::int16_t z = run.state.ShelfLayoutNumber;
  if (z < 1 || z > 3) {
    throw EndRun{kExitFailed, "shelf layout " + std::to_string(z) +
                                  " does not exist: the shelf card type must be S1, S2 or S3"};
  }
  PrintSurface& surface = run.surface;
  const std::int16_t cassette = ReadBinSetting(run.settings, "Cassett", "267");
  const std::int16_t rearTray = ReadBinSetting(run.settings, "RearPaperTray", "7");
  run.settings.Save(kPrinterSection, "LastDefaultPaperBin", std::to_string(surface.PaperBin()));

  const std::vector<ShelfRecord> cards = LoadShelfRecords(run);

  // Every card is printed; what did not reach the page whole is reported after the last.
  int cutCards = 0;
  std::vector<std::string> problems;
  for (std::size_t n = 0; n < cards.size(); ++n) {
    SkipIfItFails([&] {
      const bool cassetteAsked =
          TrimSpaces(cards.front().Layout(kPaperSourceX, kPaperSourceY, z)) == "C";
      surface.SetPaperBin(cassetteAsked ? cassette : rearTray);
    });
    SkipIfItFails([&] { surface.SetPaperSize(run.state.ShelfPaperSize); });
    SkipIfItFails([&] {
      surface.SetOrientation(run.state.ShelfLayoutCode == "S1" ? kLandscape : kPortrait);
    });

    ShelfCardOutcome outcome = PrintShelfCardElements(surface, cards[n], z);
    try {
      surface.EndDoc();
    } catch (const Failure& failure) {
      outcome.problems.push_back(std::string("was not printed: ") + failure.what());
      SkipIfItFails([&] { surface.AbortDoc(); });
    }
    if (outcome.problems.empty()) continue;
    ++cutCards;
    for (const std::string& problem : outcome.problems)
      problems.push_back("card " + std::to_string(n + 1) + " " + problem);
  }
  if (cutCards > 0) throw EndRun{kExitFailed, Summary(cutCards, cards.size(), problems)};
}

}  // namespace corvel
