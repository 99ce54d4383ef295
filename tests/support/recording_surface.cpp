#include "tests/support/recording_surface.h"

#include <tuple>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"

namespace corvel {

void RecordingSurface::ThrowIfFailing() {
  if (failNext_) {
    failNext_ = false;
    throw PrintError("recording surface: simulated printer failure");
  }
}

RecordedOp& RecordingSurface::Record(RecordedOp::Kind kind) {
  RecordedOp& op = ops_.emplace_back();
  op.kind = kind;
  op.document = ended_ + aborted_ + 1;
  op.page = page_;
  return op;
}

std::vector<RecordedOp> RecordingSurface::OpsOf(RecordedOp::Kind kind) const {
  std::vector<RecordedOp> out;
  for (const RecordedOp& op : ops_)
    if (op.kind == kind) out.push_back(op);
  return out;
}

void RecordingSurface::SetFontName(std::string_view name) {
  font_.name = std::string(name);
}

void RecordingSurface::SetFontSize(double points) {
  if (!(points >= 1 && points <= kLargestFontSize))
    throw PrintError("font size out of range: " + GeneralNumber(points));
  font_.size = points;
}

double RecordingSurface::TextWidth(std::string_view text) {
  return static_cast<double>(CharCount(text)) * 10.0 * font_.size;
}

double RecordingSurface::TextHeight(std::string_view) {
  return 24.0 * font_.size;
}

void RecordingSurface::Print(std::string_view text, bool lineEnd) {
  ThrowIfFailing();
  open_ = true;
  RecordedOp& op = Record(RecordedOp::Kind::Text);
  op.x = x_;
  op.y = y_;
  op.text = std::string(text);
  op.lineEnd = lineEnd;
  op.font = font_;
  if (lineEnd) {
    x_ = 0;
    y_ += TextHeight(text);
  } else {
    x_ += TextWidth(text);
  }
}

void RecordingSurface::FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) {
  ThrowIfFailing();
  open_ = true;
  RecordedOp& op = Record(RecordedOp::Kind::Rect);
  std::tie(op.x, op.y, op.x2, op.y2) = std::tuple(x1, y1, x2, y2);
  op.font = font_;
  op.font.colour = colour;
}

void RecordingSurface::NewPage() {
  ThrowIfFailing();
  open_ = true;
  Record(RecordedOp::Kind::NewPage);
  ++page_;
  x_ = y_ = 0;
}

void RecordingSurface::EndDoc() {
  ThrowIfFailing();
  FinishDocument(RecordedOp::Kind::EndDoc, ended_);
}

void RecordingSurface::AbortDoc() {
  FinishDocument(RecordedOp::Kind::AbortDoc, aborted_);
}

// Records how an open document ended and starts afresh: page 1, cursor at the origin.
void RecordingSurface::FinishDocument(RecordedOp::Kind kind, int& counter) {
  if (open_) {
    Record(kind);
    ++counter;
  }
  open_ = false;
  page_ = 1;
  x_ = y_ = 0;
}

}  // namespace corvel
