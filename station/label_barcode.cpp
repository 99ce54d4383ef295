#include "station/label_barcode.h"

#include <cmath>

#include "common/number_text.h"
#include "common/text.h"

namespace corvel {
namespace {

// Weighted product of factor 2- and 5-: units digit of the product minus its tens
// digit, plus 10 when negative.
int MinusWeighted(int digit, int factor) {
  const int product = digit * factor;
  const int difference = product % 10 - product / 10;
  return difference < 0 ? difference + 10 : difference;
}

}  // namespace

std::string LabelCodeText(std::string_view codeBox) {
  return FixedText(codeBox, 14);
}

std::string FlagBoxText(double typed) {
  const double flag = std::floor(typed);
  return GeneralNumber(flag >= 20 && flag <= 29 ? flag : 20);
}

int PriceCheckDigit(std::string_view fourDigits) {
  int digits[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < 4 && i < fourDigits.size(); ++i)
    digits[i] = DigitValue(fourDigits[i]);
  const int sum = MinusWeighted(digits[0], 2) + MinusWeighted(digits[1], 2) + (3 * digits[2]) % 10 +
                  MinusWeighted(digits[3], 5);
  return (3 * sum) % 10;
}

bool PrepareLabelBarcode(BarcodeJob& job, std::string_view codeText, std::string_view flagText,
                         std::string_view priceText, bool usePriceCheckDigit) {
  const double code = ReadLeadingNumber(codeText);
  if (!(code > 0)) return false;

  // The encoder's rule: a code with a fraction is judged on the whole number whose
  // digits it gives (9 999.4 is item 9999; 99 999 999 999.4 keeps all eleven digits).
  const CodeDigits digits = SplitCodeDigits(code);
  const std::string& data = digits.data;
  job.CheckMarker = digits.checkMarker;
  job.IsUpcE = false;
  job.IsEan8 = false;
  job.UpcEDigits.clear();

  if (digits.whole > 9999) {
    job.LeadPair = data.substr(0, 2);
    job.FirstDigit = data.substr(0, 1);
    job.LeftFirst = data.substr(1, 1);
    job.LeftRest = data.substr(2, 5);
    job.RightDigits = data.substr(7, 5);
    job.DataDigits = data;
    return true;
  }

  // A flag box that does not hold a digit in second place would shorten the symbol;
  // it counts as the default flag 20.
  const char flagDigit =
      flagText.size() >= 2 && flagText[1] >= '0' && flagText[1] <= '9' ? flagText[1] : '0';
  // The price has two decimals, so the cents are a whole number; the 15-digit rounding
  // of the pattern removes the noise of the multiplication (12.35 gives 1235).
  double cents = ReadLeadingNumber(priceText) * 100;
  if (!(cents > 0)) cents = 0;
  std::string centsText(5, '0');
  centsText.append(FormatNumber(cents, "0"));

  job.LeadPair = "02";
  job.FirstDigit.assign(1, '0');
  job.LeftFirst.assign(1, '2');
  job.LeftRest.assign(1, flagDigit);
  job.LeftRest.append(data, 8, 4);
  if (usePriceCheckDigit) {
    const std::string p4 = LastChars(centsText, 4);
    job.RightDigits.assign(1, static_cast<char>('0' + PriceCheckDigit(p4)));
    job.RightDigits.append(p4);
  } else {
    job.RightDigits = LastChars(centsText, 5);
  }
  job.CheckMarker = '*';
  job.DataDigits = job.LeadPair + job.LeftRest + job.RightDigits;
  return true;
}

std::string MakeBarcodeNumberText(const BarcodeJob& job) {
  const std::string digits = job.LeadPair + job.LeftRest + job.RightDigits;
  std::string text = WithoutLeadingZeros(digits);
  if (job.CheckMarker != '*')
    text += job.CheckMarker;
  else
    text += static_cast<char>('0' + (job.CheckDigit % 10 + 10) % 10);
  return text;
}

}  // namespace corvel
