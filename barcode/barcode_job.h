#pragma once
// EAN-13, EAN-8 and UPC-E: from an item's barcode number to digit groups, check digit
// and a width pattern, and from the pattern to bars on the print surface.
//
// A width pattern is the symbol as module widths "1".."4" joined by "-", bar first,
// starting with the start guard "1-1-1"; no quiet zone and no human-readable text.
// EAN-13: 59 elements (117 characters, 95 modules); EAN-8: 43 (85, 67); UPC-E: 33 (65, 51).
#include <cstdint>
#include <string>
#include <string_view>

#include "common/print_surface.h"

namespace corvel {

// The barcode work record of a program, overwritten for every symbol.
struct BarcodeJob {
  std::string LeadPair;     // data digits 1-2
  std::string FirstDigit;   // data digit 1: parity of the EAN-13 left half (EAN-8: digit 6)
  std::string LeftFirst;    // data digit 2 (EAN-8: digit 6)
  std::string LeftRest;     // data digits 3-7 (EAN-8: 7-9); UPC-E rules: M1-M5
  std::string RightDigits;  // data digits 8-12 (EAN-8: 10-12); UPC-E rules: P1-P5
  char CheckMarker = '*';   // '*' when no check digit came with the code, else that digit
  int CheckDigit = 0;       // the check digit that is encoded
  std::string CheckDigitText;
  std::string UpcEDigits;  // the six digits a UPC-E symbol encodes
  bool IsUpcE = false;
  bool IsEan8 = false;
  std::string Pattern;           // the width pattern built last
  std::int16_t ModuleWidth = 0;  // twips per module
  std::int16_t BarHeight = 0;    // twips
  std::string DataDigits;        // the 12 data digits as prepared (before any EAN-8 re-split)
};

// The digits of a code number, by the one rule both programs use. The number is first
// made whole as the format "00000" makes it (a fraction rounded half away from zero), and
// every threshold is judged on that whole number, so the thresholds and the digits taken
// always agree: up to 99 999 999 999 (eleven digits) the last 12 digits are all data and
// no check digit came with the code ('*'); above it the last 13 digits are taken and the
// 13th is the check digit that came with the code. A minus sign reads as 0.
struct CodeDigits {
  double whole = 0;        // the whole number whose digits were taken
  std::string data;        // the 12 data digits
  char checkMarker = '*';  // '*', or the digit that came with the code as its check digit
};

CodeDigits SplitCodeDigits(double value);

enum class Symbology { Ean13, Ean8, UpcE };

// The modules of a symbol from the first bar of the start guard to the last of the end
// guard (no quiet zone).
constexpr int SymbolModules(Symbology symbology) {
  switch (symbology) {
    case Symbology::Ean8:
      return 67;
    case Symbology::UpcE:
      return 51;
    case Symbology::Ean13:
      break;
  }
  return 95;
}

// The bars and spaces of a symbol's width pattern (its bars are one more than half).
constexpr int SymbolElements(Symbology symbology) {
  switch (symbology) {
    case Symbology::Ean8:
      return 43;
    case Symbology::UpcE:
      return 33;
    case Symbology::Ean13:
      break;
  }
  return 59;
}

// "EAN-13", "EAN-8", "UPC-E".
constexpr const char* SymbologyName(Symbology symbology) {
  switch (symbology) {
    case Symbology::Ean8:
      return "EAN-8";
    case Symbology::UpcE:
      return "UPC-E";
    case Symbology::Ean13:
      break;
  }
  return "EAN-13";
}

// The symbology the job's flags select: UPC-E before EAN-8, else EAN-13.
constexpr Symbology SymbologyOf(const BarcodeJob& job) {
  return job.IsUpcE ? Symbology::UpcE : job.IsEan8 ? Symbology::Ean8 : Symbology::Ean13;
}

inline int SymbolModules(const BarcodeJob& job) {
  return SymbolModules(SymbologyOf(job));
}

// The clear space a scanner needs on each side of a symbol, in modules.
struct QuietZones {
  int left = 0, right = 0;
};
constexpr QuietZones QuietZoneModules(Symbology symbology) {
  switch (symbology) {
    case Symbology::Ean8:
      return {7, 7};
    case Symbology::UpcE:
      return {9, 7};
    case Symbology::Ean13:
      break;
  }
  return {11, 7};
}

// The smallest module that scanners at a retail point of sale must read: 80 % of the
// nominal 0.330 mm, in millimetres.
inline constexpr double kSmallestModuleMm = 0.264;

// The numeric value of one character: '0'..'9' give 0..9, anything else 0 (the way a
// non-digit is encoded in the bars).
inline int DigitValue(char c) {
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

// A digit string read as a number and written back: leading zeros dropped, "0" for
// nothing but zeros (or nothing at all).
std::string WithoutLeadingZeros(std::string_view digits);

// Fills the digit fields, CheckMarker, CheckDigit(Text), UpcEDigits, IsUpcE and IsEan8
// from a code field of up to 14 characters. Never rejects input: text without a number
// is code 0. A minus sign left among the digits reads as 0 in the digit fields, as it
// does in the bars. Throws OverflowError only for a number beyond the range of a double.
void PrepareBarcodeDigits(BarcodeJob& job, std::string_view codeField, bool allowUpcE,
                          bool allowEan8);

// EAN check digit over 12 data digits (weights 1,3,1,3...; non-digits count as 0).
int ComputeCheckDigit(std::string_view dataDigits);

// Number-system-0 zero suppression from LeadPair, LeftRest and RightDigits: sets IsUpcE
// and, when it applies, UpcEDigits.
void CompressToUpcE(BarcodeJob& job);

// How BuildBarPattern comes by the check digit.
enum class CheckDigitSource {
  // CheckDigit as PrepareBarcodeDigits left it; the symbol the flags select (EAN-13,
  // EAN-8 or UPC-E).
  Prepared,
  // Always EAN-13 over the digit groups as they stand; CheckDigit is set here from
  // CheckMarker ('*': computed over the groups, else that digit, unverified).
  FromMarker,
};

// Builds Pattern from the digit fields. Whatever the fields hold, the pattern has the
// full length of its symbol: missing or non-digit characters are encoded as 0, and a
// CheckDigit outside 0..9 as 0. FromMarker also sets CheckDigit and CheckDigitText.
void BuildBarPattern(BarcodeJob& job, CheckDigitSource source = CheckDigitSource::Prepared);

// The four widths of a digit: set A ("odd", also the right half) or set B. A digit
// outside 0..9 gives the empty text.
std::string DigitWidthGroup(int digit, bool odd);

// UPC-E parity of position 1..6 for a check digit; true is set A. Outside the table: false.
bool UpcEParityIsOdd(std::int16_t checkDigit, std::int16_t position);

// Where the first bar starts relative to the x handed in.
enum class BarOrigin {
  AtX,        // the first bar starts at x
  AfterZero,  // at x + the printed width of "0" in the surface's current font + 20 twips
};

// Whole dots per module on a dot grid of `dotTwips`: the nearest whole number to the
// planned module, raised to the smallest module a scanner must read when that count fits
// too. A symbol grows to the right of its first bar, so a count fits when the symbol of
// `modules` starting at `origin`, with its right quiet zone, ends by `roomRight` (twips).
// When no count above the planned module rounded down fits, the planned module rounded
// down (at least one): the symbol never grows out of its room.
int WholeDotModule(double plannedTwips, double dotTwips, double origin, int modules, int rightQuiet,
                   double roomRight);

// Draws job.Pattern as black bars, ModuleWidth per module and BarHeight high, top at
// `top`. Spaces are not drawn. On a surface that knows its dot grid (PrintSurface::Dots)
// every module is the same whole number of dots (WholeDotModule, within `roomRight`, the
// page's width when 0), the symbol
// starts on the dot nearest its x, and every bar loses the grid's bar reduction (never
// going under a dot).
//
// Leaves behind: the surface's font name set to "Times New Roman" and its size to 12,
// whatever they were before (bold, italic and the print position are not touched).
// Callers that print after the bars without choosing a font print in that font.
void DrawBarPattern(const BarcodeJob& job, PrintSurface& surface, double x, double top,
                    BarOrigin origin = BarOrigin::AtX, double roomRight = 0);

}  // namespace corvel
