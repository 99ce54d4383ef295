#pragma once
// The eight text elements of one shelf card, placed and sized by the card's own layout
// table: each element's text is fitted to its box height and to the page width, then
// placed at its layout position or centred. A step the printer or the data cannot do is
// skipped and the card goes on with the next one; what that cost the card is reported.
#include <cstdint>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/print_surface.h"
#include "runner/request_files.h"

namespace corvel {

// What of a card did not reach the page whole, one line per element and cause: a text
// cut at an edge of the page or left off below it, a text that fits no font size, a
// cell that is no usable number, a text the printer failed to print, a card that ran
// onto a second page. Empty for a card printed whole.
struct ShelfCardOutcome {
  std::vector<std::string> problems;
};

// A step of a card that the printer or the data cannot do is skipped and the card goes on
// with its next step: this is the one place such a failure is swallowed. Where it costs
// the card a text or a cell, whoever meets the failure reports it (ShelfCardOutcome)
// before throwing.
template <class Step>
void SkipIfItFails(Step&& step) {
  try {
    step();
  } catch (const Failure&) {
  }
}

// Prints the elements of `card` with layout `layoutNumber` (1..3) on the current page of
// `surface`; paper, bin and ending the document are the caller's. The page size is read
// from the surface.
ShelfCardOutcome PrintShelfCardElements(PrintSurface& surface, const ShelfRecord& card,
                                        std::int16_t layoutNumber);

// The printed form of a price text: "$0.00" from 1 up, cents with "c" below 1 (and for
// negative values); text that reads as 0 is kept as it is.
std::string ShelfPriceText(const std::string& price);

}  // namespace corvel
