#pragma once
// The EAN-13 symbol of a weighed-item label: which 12 data digits it carries, the
// price check digit, and the number printed under the bars.
//
// An item code above 9 999 is the item's own EAN/UPC number. A code from 1 to 9 999
// makes a price-embedded number: "02", the flag digit, the code as four digits and the
// label's price in cents (five digits, or a price check digit and four digits). A code
// that reads as 0 or less gives no symbol.
#include <string>
#include <string_view>

#include "barcode/barcode_job.h"

namespace corvel {

// The code box as a label reads it: its first 14 characters (shorter text padded with
// spaces). Whatever follows the 14th character is not part of the code.
std::string LabelCodeText(std::string_view codeBox);

// Fills the digit groups and CheckMarker of `job` for one label; false when the label
// has no symbol. `codeText` is LabelCodeText of the code box, `flagText` the FLAG
// box (its second character is the flag digit; anything but a digit there counts as
// the default flag 20), `priceText` the label's price with two decimals (a negative
// price is embedded as 0). Throws OverflowError when the code or the price is beyond the
// range of a double, or the price in cents would be (over 1E306).
bool PrepareLabelBarcode(BarcodeJob& job, std::string_view codeText, std::string_view flagText,
                         std::string_view priceText, bool usePriceCheckDigit);

// The text of the FLAG box for a number typed into it: a whole number from 20 to 29 is
// kept (a fraction is dropped first); anything else, NaN included, becomes 20.
std::string FlagBoxText(double typed);

// The check digit of a four-digit price field (weights 2-, 2-, 3, 5-). A character
// that is not a digit counts as 0.
int PriceCheckDigit(std::string_view fourDigits);

// The number printed under the bars: the 12 data digits without leading zeros, then
// CheckMarker, or CheckDigit when the marker is "*". Call after BuildBarPattern.
std::string MakeBarcodeNumberText(const BarcodeJob& job);

}  // namespace corvel
