#include "station/layout_editor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "common/number_text.h"
#include "common/units.h"
#include "station/label_preview.h"

namespace corvel {
namespace {

const QColor kGuide(0x20, 0x60, 0xc0);
const QColor kWrong(0xc0, 0x10, 0x10);

QString Value(const LabelLayout& layout, const char* key) {
  return QString::fromStdString(GeneralNumber(LayoutValueOf(layout, key)));
}

}  // namespace

LayoutEditor::LayoutEditor(LabelPreview& preview, QWidget& canvas)
    : QWidget(&canvas), preview_(preview), canvas_(canvas), title_(preview.windowTitle()) {
  setObjectName("LayoutEditor");
  setFocusPolicy(Qt::ClickFocus);
  hide();
  canvas_.installEventFilter(this);

  edit_ = new QAction("Edit layout", this);
  edit_->setObjectName("EditLayoutToggle");
  edit_->setCheckable(true);
  edit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  edit_->setShortcutContext(Qt::WindowShortcut);
  connect(edit_, &QAction::triggered, this, &LayoutEditor::SetEditing);

  // Undo and redo while the panel has the focus (the window's boxes keep their own).
  auto* undo = new QAction("Undo layout change", this);
  undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  undo->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(undo, &QAction::triggered, this, &LayoutEditor::Undo);
  auto* redo = new QAction("Redo layout change", this);
  redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  redo->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(redo, &QAction::triggered, this, &LayoutEditor::Redo);
  preview_.addActions({undo, redo});

  controls_ = new QWidget;
  auto* column = new QVBoxLayout(controls_);
  column->setContentsMargins(4, 2, 4, 2);
  switch_ = new QPushButton("Edit layout", controls_);
  switch_->setObjectName("EditLayout");
  switch_->setCheckable(true);
  switch_->setToolTip("Move and size the label's elements here (Ctrl+E)");
  connect(switch_, &QPushButton::clicked, this, &LayoutEditor::SetEditing);
  status_ = new QLabel(controls_);
  status_->setObjectName("LayoutStatus");
  status_->setWordWrap(true);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Four lines always, so the label does not shift as the text changes under the pointer.
  status_->setFixedHeight(4 * status_->fontMetrics().lineSpacing() + 2);
  status_->hide();
  column->addWidget(switch_, 0, Qt::AlignLeft);
  column->addWidget(status_);

  connect(&preview_, &LabelPreview::drawn, this, &LayoutEditor::Replan);
  // The preview hidden ends editing: nothing moves where it cannot be seen.
  connect(&preview_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (!visible && Editing()) SetEditing(false);
  });
}

void LayoutEditor::SetEditing(bool on) {
  edit_->setChecked(on);
  switch_->setChecked(on);
  switch_->setText(on ? "Done editing" : "Edit layout");
  dragging_ = false;
  preview_.setWindowTitle(on ? title_ + " - editing the layout" : title_);
  status_->setVisible(on);
  setVisible(on);
  if (!on) {
    selected_ = -1;
    return;
  }
  if (!preview_.isVisible()) preview_.ShowPreview(true);
  setGeometry(canvas_.rect());
  raise();
  setFocus(Qt::OtherFocusReason);
  Replan();
}

void LayoutEditor::SetPrinterDpi(double dpi) {
  dpi_ = dpi > 0 ? dpi : 0;
  ShowStatus();
}

void LayoutEditor::Replan() {
  if (!Editing()) return;
  const PreviewSources& sources = preview_.Sources();
  try {
    plan_ = PlanLabel(sources.boxes(), sources.settings, sources.clock, sources.labelWidthMm,
                      sources.labelHeightMm);
    problem_.clear();
  } catch (const std::exception& error) {
    plan_ = {};
    problem_ = QString("No label: ") + QString::fromStdString(error.what());
  }
  if (!PlacedOf(selected_)) {
    selected_ = -1;
    dragging_ = false;
  }
  ShowStatus();
  update();
}

const PlacedElement* LayoutEditor::PlacedOf(int element) const {
  for (const PlacedElement& placed : plan_.placed)
    if (placed.element == element) return &placed;
  return nullptr;
}

double LayoutEditor::TwipsPerPixel() const {
  const int dpi = preview_.RasterDpi();
  return dpi > 0 ? kTwipsPerInch * devicePixelRatioF() / dpi : 0;
}

QPointF LayoutEditor::PixelOf(double xTwips, double yTwips) const {
  // The canvas centres the raster; one raster pixel is a device pixel.
  const QSizeF shown = QSizeF(preview_.Raster().size()) / devicePixelRatioF();
  const QPointF corner((width() - shown.width()) / 2, (height() - shown.height()) / 2);
  const double perTwip = TwipsPerPixel() > 0 ? 1 / TwipsPerPixel() : 0;
  return corner + QPointF(xTwips, yTwips) * perTwip;
}

QRectF LayoutEditor::PixelRect(const PlacedElement& placed) const {
  return QRectF(PixelOf(placed.left, placed.top), PixelOf(placed.right, placed.bottom));
}

void LayoutEditor::paintEvent(QPaintEvent*) {
  if (preview_.Raster().isNull() || TwipsPerPixel() <= 0) return;
  QPainter painter(this);
  // The label's edge just outside the drawing, the printable area dashed on it.
  const QRectF label(PixelOf(0, 0), PixelOf(plan_.pageWidth, plan_.pageHeight));
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(label.adjusted(-1, -1, 0, 0));
  painter.setPen(QPen(kGuide, 1, Qt::DashLine));
  painter.drawRect(label.adjusted(0, 0, -1, -1));

  const PlacedElement* symbol = PlacedOf(kSymbolElement);
  const QColor zone = symbol && !symbol->problem.empty() ? kWrong : kGuide;
  for (const QuietMargins& margins : plan_.quietZones) {
    painter.fillRect(
        QRectF(PixelOf(margins.leftFrom, margins.top), PixelOf(margins.leftTo, margins.bottom)),
        QColor(zone.red(), zone.green(), zone.blue(), 60));
    painter.fillRect(
        QRectF(PixelOf(margins.rightFrom, margins.top), PixelOf(margins.rightTo, margins.bottom)),
        QColor(zone.red(), zone.green(), zone.blue(), 60));
  }
  for (const PlacedElement& placed : plan_.placed) {
    const bool wrong = !placed.problem.empty(), chosen = placed.element == selected_;
    QRectF box = PixelRect(placed);
    if (chosen && dragging_) box.translate(draggedBy_);
    // Dotted: an element; dashed: one this item leaves off; blue: the chosen one.
    const Qt::PenStyle style = !placed.shown     ? Qt::DashLine
                               : chosen || wrong ? Qt::SolidLine
                                                 : Qt::DotLine;
    const QColor colour = wrong ? kWrong : chosen ? kGuide : QColor(0x80, 0x80, 0x80);
    painter.setPen(QPen(colour, wrong || chosen ? 2 : 1, style));
    if (wrong) painter.fillRect(box, QColor(kWrong.red(), kWrong.green(), kWrong.blue(), 40));
    painter.drawRect(box);
  }
}

void LayoutEditor::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The smallest element under the pointer, so one lying on another can be taken.
  selected_ = -1;
  double smallest = 0;
  for (const PlacedElement& placed : plan_.placed) {
    const QRectF box = PixelRect(placed).adjusted(-2, -2, 2, 2);
    const double area = box.width() * box.height();
    if (box.contains(event->position()) && (selected_ < 0 || area < smallest)) {
      selected_ = placed.element;
      smallest = area;
    }
  }
  dragging_ = selected_ >= 0;
  pressedAt_ = event->position();
  draggedBy_ = {};
  ShowStatus();
  update();
}

void LayoutEditor::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  draggedBy_ = event->position() - pressedAt_;
  update();
}

void LayoutEditor::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  // The element can vanish while it is dragged (the scale took the weight away).
  if (selected_ < 0) return update();
  draggedBy_ = event->position() - pressedAt_;
  const double perPixel = TwipsPerPixel();
  Apply(MovedBy(LayoutElements()[static_cast<std::size_t>(selected_)], plan_.layout,
                draggedBy_.x() * perPixel, draggedBy_.y() * perPixel, dpi_));
  draggedBy_ = {};
  update();
}

void LayoutEditor::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (selected_ < 0 || steps == 0) return event->ignore();
  Apply(ResizedBy(LayoutElements()[static_cast<std::size_t>(selected_)], plan_.layout, steps,
                  event->modifiers().testFlag(Qt::ControlModifier), dpi_));
}

void LayoutEditor::keyPressEvent(QKeyEvent* event) {
  // The panel's undo keys reach here when the focus is elsewhere.
  if (event->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Z))
    return static_cast<void>(Undo());
  if (event->keyCombination() == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z))
    return static_cast<void>(Redo());
  if (selected_ < 0) return QWidget::keyPressEvent(event);
  const LayoutElement& element = LayoutElements()[static_cast<std::size_t>(selected_)];
  const int dots = event->modifiers().testFlag(Qt::ShiftModifier) ? 10 : 1;
  const bool height = event->modifiers().testFlag(Qt::ControlModifier);
  switch (event->key()) {
    case Qt::Key_Left:
      return Apply(MovedByDots(element, plan_.layout, -dots, 0, dpi_));
    case Qt::Key_Right:
      return Apply(MovedByDots(element, plan_.layout, dots, 0, dpi_));
    case Qt::Key_Up:
      return Apply(MovedByDots(element, plan_.layout, 0, -dots, dpi_));
    case Qt::Key_Down:
      return Apply(MovedByDots(element, plan_.layout, 0, dots, dpi_));
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return Apply(ResizedBy(element, plan_.layout, 1, height, dpi_));
    case Qt::Key_Minus:
      return Apply(ResizedBy(element, plan_.layout, -1, height, dpi_));
    case Qt::Key_Escape:
      selected_ = -1;
      ShowStatus();
      return update();
    default:
      return QWidget::keyPressEvent(event);
  }
}

bool LayoutEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &canvas_ && event->type() == QEvent::Resize) setGeometry(canvas_.rect());
  return QWidget::eventFilter(watched, event);
}

void LayoutEditor::Apply(const KeyValues& values) {
  LayoutChange change;
  try {
    change = SaveLayoutValues(preview_.Sources().settings, values);
  } catch (const std::exception& error) {
    problem_ = QString("The layout was not saved: ") + QString::fromStdString(error.what());
    return ShowStatus();
  }
  Keep(std::move(change));
}

void LayoutEditor::Keep(LayoutChange change) {
  if (change.empty()) return;
  done_.push_back(std::move(change));
  undone_.clear();
  preview_.Refresh();
}

void LayoutEditor::Record(const std::function<void()>& change) {
  Keep(RecordLayoutChange(preview_.Sources().settings, change));
}

bool LayoutEditor::Replay(bool undo) {
  std::vector<LayoutChange>& from = undo ? done_ : undone_;
  std::vector<LayoutChange>& to = undo ? undone_ : done_;
  if (from.empty()) return false;
  try {
    ReplayLayoutChange(preview_.Sources().settings, from.back(), undo);
  } catch (const std::exception& error) {
    problem_ = QString("The layout was not changed back: ") + QString::fromStdString(error.what());
    ShowStatus();
    return false;
  }
  to.push_back(std::move(from.back()));
  from.pop_back();
  preview_.Refresh();
  return true;
}

bool LayoutEditor::Undo() {
  return Replay(true);
}
bool LayoutEditor::Redo() {
  return Replay(false);
}

QString LayoutEditor::StatusText() const {
  if (!problem_.isEmpty()) return problem_;
  // What is wrong comes first: the chosen element's, else the first found.
  const PlacedElement* chosen = PlacedOf(selected_);
  if (chosen && !chosen->problem.empty()) return QString::fromStdString(chosen->problem);
  for (const PlacedElement& placed : plan_.placed)
    if (!placed.problem.empty()) return QString::fromStdString(placed.problem);
  const QString grid = dpi_ > 0
                           ? QString("%1 dpi dots").arg(QString::fromStdString(GeneralNumber(dpi_)))
                           : QString("whole twips");
  if (!chosen)
    return "Editing the layout: drag an element; arrows move it by a dot (Shift: ten), + and - "
           "or the wheel size it (Ctrl: the symbol's height); Ctrl+Z undoes. Moves snap to " +
           grid + ".";
  const LayoutElement& element = LayoutElements()[static_cast<std::size_t>(selected_)];
  QString text =
      QString("%1: top %2, across %3 twips")
          .arg(element.name, Value(plan_.layout, element.top), Value(plan_.layout, element.x));
  if (!chosen->shown) text = "(not on this item's label) " + text;
  if (element.size) return text + ", " + Value(plan_.layout, element.size) + " pt";
  const double module = LayoutValueOf(plan_.layout, element.module);
  text += ", module " + Value(plan_.layout, element.module) + " twips (" +
          QString::fromStdString(FormatNumber(MmFromTwips(module), "0.000")) + " mm";
  if (dpi_ > 0)
    text += ", " + QString::fromStdString(GeneralNumber(std::round(DotsFromTwips(module, dpi_)))) +
            " dots";
  return text + "), bars " + Value(plan_.layout, element.height) + " twips high";
}

void LayoutEditor::ShowStatus() {
  bool wrong = !problem_.isEmpty();
  for (const PlacedElement& placed : plan_.placed)
    wrong = wrong || !placed.problem.empty();
  status_->setText(StatusText());
  status_->setToolTip(status_->text());
  status_->setStyleSheet(wrong ? "color: #c01010;" : "");
}

}  // namespace corvel
