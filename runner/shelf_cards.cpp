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

template <class Step>
void Try(Step&& step) {
  try {
    step();
  } catch (const Failure&) {
  }
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

  int failedCards = 0;
  std::string firstFailure;
  for (std::size_t n = 0; n < cards.size(); ++n) {
    Try([&] {
      const bool cassetteAsked = TrimSpaces(cards.front().Layout(9, 3, z)) == "C";
      surface.SetPaperBin(cassetteAsked ? cassette : rearTray);
    });
    Try([&] { surface.SetPaperSize(run.state.ShelfPaperSize); });
    Try([&] {
      surface.SetOrientation(run.state.ShelfLayoutCode == "S1" ? kLandscape : kPortrait);
    });

    ShelfCardOutcome outcome = PrintShelfCardElements(surface, cards[n], z);
    if (outcome.reachedSecondPage) {
      // What the card printed so far still goes out; the rest of the run is dropped.
      Try([&] { surface.EndDoc(); });
      throw EndRun{kExitFailed,
                   "shelf card " + std::to_string(n + 1) +
                       " ran onto a second page; the remaining cards were not printed"};
    }
    try {
      surface.EndDoc();
    } catch (const Failure& failure) {
      outcome.printFailed = true;
      if (outcome.failure.empty()) outcome.failure = failure.what();
      Try([&] { surface.AbortDoc(); });
    }
    if (outcome.printFailed && failedCards++ == 0) firstFailure = outcome.failure;
  }
  if (failedCards > 0) {
    throw EndRun{kExitFailed, std::to_string(failedCards) + " of " + std::to_string(cards.size()) +
                                  " shelf cards could not be printed: " + firstFailure};
  }
}

}  // namespace corvel
