#pragma once
// The printer page as the label code sees it: twips (1440 per inch) from the top-left
// corner of the printable area, a text cursor, fonts in points, filled rectangles.
// A document begins with the first drawing (or text) and ends with EndDoc(); every
// label, sheet or card is one document. Implementations: the Qt surface on a real
// printer or PDF and on the screen (platform/), and RecordingSurface (tests/support/).
//
// Operations throw PrintError when the printer cannot do what is asked (no printer,
// an unwritable PDF folder, a font size outside 1..kLargestFontSize).
#include <cstdint>
#include <string>
#include <string_view>

namespace corvel {

// Paper-size codes and orientations as the programs store and pass them.
inline constexpr int kPaperA4 = 9;
inline constexpr int kPaperA5 = 11;
inline constexpr int kPaperUser = 256;
inline constexpr int kPortrait = 1;
inline constexpr int kLandscape = 2;

class PrintSurface {
 public:
  // The largest font size (points) any surface accepts; size searches stop here.
  static constexpr double kLargestFontSize = 1638;
  static constexpr bool IsFontSize(double points) {
    return points >= 1 && points <= kLargestFontSize;
  }

  virtual ~PrintSurface() = default;

  // Font and text colour. A colour is 0x00BBGGRR (0 is black).
  virtual void SetFontName(std::string_view name) = 0;
  virtual std::string FontName() const = 0;
  virtual void SetFontSize(double points) = 0;
  virtual double FontSize() const = 0;
  virtual void SetBold(bool on) = 0;
  virtual bool Bold() const = 0;
  virtual void SetItalic(bool on) = 0;
  virtual void SetUnderline(bool on) = 0;
  virtual void SetStrikethrough(bool on) = 0;
  virtual void SetTextColor(std::int32_t colour) = 0;

  // Text cursor in twips.
  virtual double CurrentX() const = 0;
  virtual double CurrentY() const = 0;
  virtual void SetCurrentX(double x) = 0;
  virtual void SetCurrentY(double y) = 0;

  // Width of `text` in the current font (advance, not ink) and its height (the font's
  // line spacing), in twips.
  virtual double TextWidth(std::string_view text) = 0;
  virtual double TextHeight(std::string_view text) = 0;

  // Prints `text` at the cursor, its top at CurrentY. With a line end the cursor moves
  // to x = 0 one text height lower; without, just right of the text.
  virtual void Print(std::string_view text, bool lineEnd) = 0;

  // A filled rectangle between two corners, no outline.
  virtual void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) = 0;

  // The device's dot grid across the page, when the surface knows it: dots per inch (0:
  // unknown, drawing needs no snapping), the x in twips of one dot's left edge, and the
  // dots to take off every bar for print growth. Bars are drawn on this grid.
  struct DotGrid {
    double dpi = 0;
    double originX = 0;
    int barReduction = 0;
  };
  virtual DotGrid Dots() const { return {}; }

  // Starts a new page of the current document.
  virtual void NewPage() = 0;
  // Ends the document: the page(s) go to the printer (or the PDF file is complete).
  // Ending with nothing drawn sends nothing.
  virtual void EndDoc() = 0;
  // Throws away the document in progress; nothing of it is sent.
  virtual void AbortDoc() = 0;
  // Waits up to `waitMs` for finished documents still being sent in the background to
  // reach the printer; returns how many have not (0 for a surface that sends at once).
  virtual int Unsent(int /*waitMs*/) { return 0; }

  // Page size of the printable area in twips, and the current page number (1 first).
  virtual double PageWidth() const = 0;
  virtual double PageHeight() const = 0;
  virtual int Page() const = 0;

  // Paper bin, paper size code and orientation for the next document.
  virtual int PaperBin() const = 0;
  virtual void SetPaperBin(int bin) = 0;
  virtual void SetPaperSize(int code) = 0;
  virtual void SetOrientation(int orientation) = 0;
};

}  // namespace corvel
