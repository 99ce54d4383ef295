#pragma once
// The live label preview: the label the Print button would print at this moment, drawn
// by the same PrintWeighedLabel on a screen surface, in a panel docked at the right of
// the station window, so it never covers or moves the window's controls. The operator
// shows or hides it with Ctrl+L, the window's context menu or the panel's close button;
// the choice is kept as "ShowPreview" in section "Zebra". The preview never writes the
// settings (drawing a label writes its layout back; here those writes are dropped).
#include <QDockWidget>
#include <QImage>
#include <QString>
#include <QTimer>
#include <functional>

#include "barcode/barcode_job.h"
#include "common/clock.h"
#include "common/settings_store.h"
#include "station/weighed_label.h"

class QAction;
class QMainWindow;

namespace corvel {

class PreviewCanvas;
class LayoutEditor;

struct PreviewSources {
  SettingsStore& settings;
  const Clock& clock;
  std::function<LabelBoxes()> boxes;  // the window's boxes as printing reads them
  double labelWidthMm = 60;           // the label size in use
  double labelHeightMm = 40;
};

class LabelPreview : public QDockWidget {
  Q_OBJECT

 public:
  // Docks itself at the right of `window`, shown when "ShowPreview" says so.
  LabelPreview(QMainWindow& window, PreviewSources sources);

  // The checkable "Label preview" entry (Ctrl+L) for the window's menus.
  QAction* ToggleAction() const { return toggle_; }
  // Shows or hides the panel and remembers the choice.
  void ShowPreview(bool on);

  // Something the label shows changed: redraw once the events at hand are handled
  // (many changes at once make one drawing). Nothing is drawn while the panel is hidden.
  void Refresh();
  // Draws now (when shown); what Refresh leads to.
  void Redraw();
  // The label size in use changed (the printer has told its paper).
  void SetLabelSize(double widthMm, double heightMm);

  // The last label drawn (null before the first), its resolution, and why the last
  // attempt drew no label (a failure of the drawing, in words), else empty.
  const QImage& Raster() const { return raster_; }
  int RasterDpi() const { return rasterDpi_; }
  const QString& Problem() const { return problem_; }
  int Drawings() const { return drawings_; }

  const PreviewSources& Sources() const { return sources_; }
  // The layout editor working on this preview (Ctrl+E).
  LayoutEditor* Editor() const { return editor_; }

 signals:
  // A drawing was attempted (Raster and Problem say how it went).
  void drawn();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Remember(bool on);

  PreviewSources sources_;
  QAction* toggle_ = nullptr;
  PreviewCanvas* canvas_ = nullptr;
  LayoutEditor* editor_ = nullptr;
  QTimer pending_;
  BarcodeJob job_;  // the preview's own, so printing's record is left as it was
  QImage raster_;
  int rasterDpi_ = 0;
  QString problem_;
  int drawings_ = 0;
};

}  // namespace corvel
