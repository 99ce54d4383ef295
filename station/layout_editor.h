#pragma once
// Editing the label layout in the preview. Switched on explicitly ("Edit layout" in the
// panel, or Ctrl+E), so that nothing on the label moves by accident at the counter; the
// panel's title and status line say when it is on. Then the owner drags an element to
// move it, moves the chosen one by a printer dot with the arrow keys (Shift: ten), and
// sizes it with + and - or the mouse wheel (a text's points; the symbol's module by a dot,
// with Ctrl its bars' height by ten dots). Every change is saved at once to the element's
// own layout keys and no others; Ctrl+Z and Ctrl+Shift+Z undo and redo the changes made
// since the window opened, layout resets included. Guides show the label's edge, the
// printable area and the symbol's quiet zones; an element outside the label, or a symbol
// whose quiet zone is crossed, is outlined in red with the reason in the status line.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "station/layout_elements.h"

namespace corvel {

class LabelPreview;

class LayoutEditor : public QWidget {
  Q_OBJECT

 public:
  // Lies over `canvas`, the preview's drawing, and edits the preview's settings.
  LayoutEditor(LabelPreview& preview, QWidget& canvas);

  // The checkable "Edit layout" entry (Ctrl+E) for the window's menus.
  QAction* EditAction() const { return edit_; }
  // The panel's row under the drawing: the switch and the status line.
  QWidget* Controls() const { return controls_; }

  bool Editing() const { return edit_->isChecked(); }
  // Switching on shows the preview when it is hidden.
  void SetEditing(bool on);
  // The printer's dots per inch: moves snap to its dots (0: to whole twips).
  void SetPrinterDpi(double dpi);
  double PrinterDpi() const { return dpi_; }

  // Runs `change` (a reset of the layout) so that it is undone and redone like an edit.
  void Record(const std::function<void()>& change);
  bool Undo();
  bool Redo();

  // Where the elements land on the label shown (while editing), the element chosen (-1:
  // none), a point of the label in this widget's pixels, and the status line.
  const LabelPlan& Plan() const { return plan_; }
  int Selected() const { return selected_; }
  QPointF PixelOf(double xTwips, double yTwips) const;
  QString StatusText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Replan();
  void Apply(const KeyValues& values);
  void Keep(LayoutChange change);
  bool Replay(bool undo);
  const PlacedElement* PlacedOf(int element) const;
  QRectF PixelRect(const PlacedElement& placed) const;
  double TwipsPerPixel() const;
  void ShowStatus();

  LabelPreview& preview_;
  QWidget& canvas_;
  QAction* edit_ = nullptr;
  QWidget* controls_ = nullptr;
  QPushButton* switch_ = nullptr;
  QLabel* status_ = nullptr;
  QString title_;  // the panel's own title

  LabelPlan plan_;
  QString problem_;  // why the label could not be measured, or a change not saved
  double dpi_ = 0;
  int selected_ = -1;
  bool dragging_ = false;
  QPointF pressedAt_, draggedBy_;
  std::vector<LayoutChange> done_, undone_;
};

}  // namespace corvel
