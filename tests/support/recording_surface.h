#pragma once
// A print surface that records every operation instead of printing, with fixed metrics
// so tests can assert exact positions: a character (code point) is 10 twips wide per
// point of font size, whatever the font; a text is 24 twips high per point; the page is
// 8640 x 5760 twips (6 x 4 inches) unless set otherwise; font sizes outside
// 1..kLargestFontSize throw PrintError, as on the real surface.
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/print_surface.h"
#include "common/text.h"

namespace corvel {

struct RecordedFont {
  std::string name = "Arial";
  double size = 10;
  bool bold = false, italic = false, underline = false, strikethrough = false;
  std::int32_t colour = 0;
  bool operator==(const RecordedFont&) const = default;
};

struct RecordedOp {
  enum class Kind { Text, Rect, NewPage, EndDoc, AbortDoc };
  Kind kind = Kind::Text;
  double x = 0, y = 0;    // text: cursor before printing; rect: first corner
  double x2 = 0, y2 = 0;  // rect: second corner
  std::string text = {};
  RecordedFont font = {};  // in force (text), or the fill colour in font.colour (rect)
  int document = 1;        // 1 for the first document, counting ended ones
  int page = 1;
};

class RecordingSurface : public PrintSurface {
 public:
  RecordingSurface(double pageWidth = 8640, double pageHeight = 5760)
      : pageWidth_(pageWidth), pageHeight_(pageHeight) {}
  void SetPageSize(double width, double height) { pageWidth_ = width, pageHeight_ = height; }
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

  void SetFontName(std::string_view name) override { font_.name = name; }
  std::string FontName() const override { return font_.name; }
  void SetFontSize(double points) override {
    font_.size = IsFontSize(points) ? points : throw PrintError("font size out of range");
  }
  double FontSize() const override { return font_.size; }
  void SetBold(bool on) override { font_.bold = on; }
  bool Bold() const override { return font_.bold; }
  void SetItalic(bool on) override { font_.italic = on; }
  void SetUnderline(bool on) override { font_.underline = on; }
  void SetStrikethrough(bool on) override { font_.strikethrough = on; }
  void SetTextColor(std::int32_t colour) override { font_.colour = colour; }
  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }
  double TextWidth(std::string_view text) override { return CharCount(text) * 10.0 * font_.size; }
  double TextHeight(std::string_view) override { return 24 * font_.size; }
  void Print(std::string_view text, bool lineEnd) override {
    Record(RecordedOp{.x = x_, .y = y_, .text = std::string(text), .font = font_});
    x_ = lineEnd ? 0 : x_ + TextWidth(text);
    y_ += lineEnd ? TextHeight(text) : 0;
  }
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override {
    RecordedFont fill = font_;
    fill.colour = colour;
    Record({.kind = RecordedOp::Kind::Rect, .x = x1, .y = y1, .x2 = x2, .y2 = y2, .font = fill});
  }
  void NewPage() override {
    Record({.kind = RecordedOp::Kind::NewPage});
    ++page_, x_ = y_ = 0;
  }
  void EndDoc() override {
    if (failNext_) Record({});  // throws
    Finish(RecordedOp::Kind::EndDoc, ended_);
  }
  void AbortDoc() override { Finish(RecordedOp::Kind::AbortDoc, aborted_); }
  double PageWidth() const override { return pageWidth_; }
  double PageHeight() const override { return pageHeight_; }
  int Page() const override { return page_; }
  int PaperBin() const override { return bin_; }
  void SetPaperBin(int bin) override { bin_ = bin; }
  void SetPaperSize(int code) override { paperSize_ = code; }
  void SetOrientation(int orientation) override { orientation_ = orientation; }

 private:
  void Record(RecordedOp op) {
    if (failNext_) {
      failNext_ = false;
      throw PrintError("recording surface: simulated printer failure");
    }
    op.document = ended_ + aborted_ + 1;
    op.page = page_;
    ops_.push_back(std::move(op));
    open_ = true;
  }
  std::vector<RecordedOp> OpsOf(RecordedOp::Kind kind) const {
    std::vector<RecordedOp> out;
    for (const RecordedOp& op : ops_)
      if (op.kind == kind) out.push_back(op);
    return out;
  }
  // Records how an open document ended and starts afresh: page 1, cursor at the origin.
  void Finish(RecordedOp::Kind kind, int& counter) {
    if (open_) {
      ops_.push_back({.kind = kind, .document = ended_ + aborted_ + 1, .page = page_});
      ++counter;
    }
    open_ = false;
    page_ = 1, x_ = y_ = 0;
  }

  RecordedFont font_;
  double x_ = 0, y_ = 0, pageWidth_, pageHeight_;
  int page_ = 1, bin_ = 1, paperSize_ = 0, orientation_ = kPortrait;
  bool open_ = false, failNext_ = false;
  int ended_ = 0, aborted_ = 0;
  std::vector<RecordedOp> ops_;
};

}  // namespace corvel
