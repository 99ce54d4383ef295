#pragma once
// A print surface that records every operation instead of printing, with fixed metrics
// so tests can assert exact positions:
//   - a character is 10 twips wide per point of font size (a 10 pt "AB" is 200 wide);
//     bold, italic and the font name do not change widths;
//   - the text height (line spacing) is 24 twips per point (10 pt: 240), for any text,
//     including the empty text;
//   - the page is 8640 x 5760 twips (6 x 4 inches) unless set otherwise;
//   - font sizes outside 1..kLargestFontSize throw PrintError, as on the real surface.
// Widths count characters (code points), not bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "common/print_surface.h"

namespace corvel {

struct RecordedFont {
  std::string name = "Arial";
  double size = 10;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  std::int32_t colour = 0;
  bool operator==(const RecordedFont&) const = default;
};

struct RecordedOp {
  enum class Kind { Text, Rect, NewPage, EndDoc, AbortDoc };
  Kind kind = Kind::Text;
  double x = 0, y = 0;    // text: cursor before printing; rect: first corner
  double x2 = 0, y2 = 0;  // rect: second corner
  std::string text;       // text only
  bool lineEnd = false;   // text only
  RecordedFont font;      // font in force (text) or fill colour in font.colour (rect)
  int document = 1;       // 1 for the first document, counting ended ones
  int page = 1;
};

class RecordingSurface : public PrintSurface {
 public:
  RecordingSurface() = default;
  RecordingSurface(double pageWidth, double pageHeight)
      : pageWidth_(pageWidth), pageHeight_(pageHeight) {}

  void SetPageSize(double width, double height) {
    pageWidth_ = width;
    pageHeight_ = height;
  }
  // Makes the next operation that would start or extend a document throw PrintError.
  void FailNextDraw() { failNext_ = true; }

  const std::vector<RecordedOp>& Ops() const { return ops_; }
  std::vector<RecordedOp> Texts() const { return OpsOf(RecordedOp::Kind::Text); }
  std::vector<RecordedOp> Rects() const { return OpsOf(RecordedOp::Kind::Rect); }
  int EndedDocuments() const { return ended_; }
  int AbortedDocuments() const { return aborted_; }
  bool DocumentOpen() const { return open_; }
  int LastPaperSize() const { return paperSize_; }
  int LastOrientation() const { return orientation_; }

  void SetFontName(std::string_view name) override;
  std::string FontName() const override { return font_.name; }
  void SetFontSize(double points) override;
  double FontSize() const override { return font_.size; }
  void SetBold(bool on) override { font_.bold = on; }
  bool Bold() const override { return font_.bold; }
  void SetItalic(bool on) override { font_.italic = on; }
  void SetUnderline(bool on) override { font_.underline = on; }
  void SetStrikethrough(bool on) override { font_.strikethrough = on; }
  void SetTextColor(std::int32_t colour) override { font_.colour = colour; }
  const RecordedFont& Font() const { return font_; }

  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }

  double TextWidth(std::string_view text) override;
  double TextHeight(std::string_view text) override;
  void Print(std::string_view text, bool lineEnd) override;
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override;
  void NewPage() override;
  void EndDoc() override;
  void AbortDoc() override;

  double PageWidth() const override { return pageWidth_; }
  double PageHeight() const override { return pageHeight_; }
  int Page() const override { return page_; }
  int PaperBin() const override { return bin_; }
  void SetPaperBin(int bin) override { bin_ = bin; }
  void SetPaperSize(int code) override { paperSize_ = code; }
  void SetOrientation(int orientation) override { orientation_ = orientation; }

 private:
  void ThrowIfFailing();
  RecordedOp& Record(RecordedOp::Kind kind);  // a new operation of this document and page
  std::vector<RecordedOp> OpsOf(RecordedOp::Kind kind) const;
  void FinishDocument(RecordedOp::Kind kind, int& counter);

  RecordedFont font_;
  double x_ = 0, y_ = 0;
  double pageWidth_ = 8640, pageHeight_ = 5760;
  int page_ = 1;
  int bin_ = 1;
  int paperSize_ = 0;
  int orientation_ = kPortrait;
  bool open_ = false;
  bool failNext_ = false;
  int ended_ = 0;
  int aborted_ = 0;
  std::vector<RecordedOp> ops_;
};

}  // namespace corvel
