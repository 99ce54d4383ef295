#include "station/label_preview.h"

#include <QAction>
#include <QCloseEvent>
#include <QMainWindow>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "common/settings_sections.h"
#include "common/units.h"
#include "platform/screen_print_surface.h"
#include "station/layout_editor.h"

namespace corvel {
namespace {

constexpr const char* kShowKey = "ShowPreview";
constexpr int kFrame = 6;  // pixels around the label

// The station's settings as the label reads them; what the label writes back (its
// layout) is dropped, so a preview never rewrites the settings file.
class ReadOnlySettings : public SettingsStore {
 public:
  explicit ReadOnlySettings(const SettingsStore& base) : base_(base) {}
  std::optional<std::string> Get(std::string_view section, std::string_view key) const override {
    return base_.Get(section, key);
  }
  std::vector<std::string> Keys(std::string_view section) const override {
    return base_.Keys(section);
  }
  void Save(std::string_view, std::string_view, std::string_view) override {}
  void SaveMany(std::string_view,
                const std::vector<std::pair<std::string, std::string>>&) override {}
  void Remove(std::string_view, const std::vector<std::string>&) override {}

 private:
  const SettingsStore& base_;
};

}  // namespace

// The label on a grey ground at its true proportions, as large as the panel allows;
// or, when the label cannot be drawn, the reason.
class PreviewCanvas : public QWidget {
 public:
  PreviewCanvas(LabelPreview& preview, double widthMm, double heightMm)
      : preview_(preview), widthMm_(widthMm), heightMm_(heightMm) {
    setObjectName("PreviewCanvas");
    setMinimumSize(160, 120);
  }

  // The whole dots per inch at which the label fills the canvas.
  int FittingDpi() const {
    const double fit = std::min((width() - 2 * kFrame) * kMmPerInch / widthMm_,
                                (height() - 2 * kFrame) * kMmPerInch / heightMm_);
    return std::max(20, static_cast<int>(std::floor(fit * devicePixelRatioF())));
  }

  void SetLabelSize(double widthMm, double heightMm) {
    widthMm_ = widthMm;
    heightMm_ = heightMm;
    updateGeometry();
  }

  QSize sizeHint() const override {
    const int w = 320;
    return {w, static_cast<int>(std::lround((w - 2 * kFrame) * heightMm_ / widthMm_)) + 2 * kFrame};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x90, 0x90, 0x90));
    const QImage& image = preview_.Raster();
    if (!preview_.Problem().isEmpty() || image.isNull()) {
      painter.setPen(Qt::white);
      painter.drawText(rect().adjusted(kFrame, kFrame, -kFrame, -kFrame),
                       Qt::AlignCenter | Qt::TextWordWrap, preview_.Problem());
      return;
    }
    const QSizeF shown = QSizeF(image.size()) / devicePixelRatioF();
    const QRectF place(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                       shown);
    painter.drawImage(place, image);
  }
  void resizeEvent(QResizeEvent*) override { preview_.Refresh(); }

 private:
  LabelPreview& preview_;
  double widthMm_, heightMm_;
};

LabelPreview::LabelPreview(QMainWindow& window, PreviewSources sources)
    : QDockWidget("Label preview", &window), sources_(std::move(sources)) {
  setObjectName("LabelPreview");
  setFeatures(QDockWidget::DockWidgetClosable);
  setAllowedAreas(Qt::RightDockWidgetArea);
  canvas_ = new PreviewCanvas(*this, sources_.labelWidthMm, sources_.labelHeightMm);
  editor_ = new LayoutEditor(*this, *canvas_);
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(canvas_, 1);
  column->addWidget(editor_->Controls());
  setWidget(panel);

  toggle_ = new QAction("Label preview", this);
  toggle_->setObjectName("PreviewToggle");
  toggle_->setCheckable(true);
  toggle_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  toggle_->setShortcutContext(Qt::WindowShortcut);
  connect(toggle_, &QAction::triggered, this, &LabelPreview::ShowPreview);

  pending_.setSingleShot(true);
  pending_.setInterval(0);
  connect(&pending_, &QTimer::timeout, this, &LabelPreview::Redraw);

  window.addDockWidget(Qt::RightDockWidgetArea, this);
  std::optional<bool> shown;
  try {
    if (const auto text = sources_.settings.Get(kStationSection, kShowKey))
      shown = ParseBoolText(*text);
  } catch (const std::exception&) {
    // Unreadable settings: the station says so itself; the panel stays hidden.
  }
  toggle_->setChecked(shown.value_or(false));
  setVisible(toggle_->isChecked());
}

void LabelPreview::ShowPreview(bool on) {
  toggle_->setChecked(on);
  setVisible(on);
  Remember(on);
  if (on) Refresh();
}

void LabelPreview::Remember(bool on) {
  try {
    sources_.settings.Save(kStationSection, kShowKey, BoolText(on));
  } catch (const std::exception&) {
    // Not remembered when the settings cannot be written; the panel still follows.
  }
}

void LabelPreview::closeEvent(QCloseEvent* event) {
  // The panel's own close button.
  toggle_->setChecked(false);
  Remember(false);
  QDockWidget::closeEvent(event);
}

void LabelPreview::Refresh() {
  if (!isHidden()) pending_.start();
}

void LabelPreview::SetLabelSize(double widthMm, double heightMm) {
  if (widthMm <= 0 || heightMm <= 0) return;
  sources_.labelWidthMm = widthMm;
  sources_.labelHeightMm = heightMm;
  canvas_->SetLabelSize(widthMm, heightMm);
  Refresh();
}

void LabelPreview::Redraw() {
  pending_.stop();
  if (isHidden()) return;
  ++drawings_;
  const int dpi = canvas_->FittingDpi();
  try {
    ScreenPrintSurface surface(sources_.labelWidthMm, sources_.labelHeightMm, dpi);
    ReadOnlySettings settings(sources_.settings);
    PrintWeighedLabel(sources_.boxes(), settings, surface, sources_.clock, job_);
    raster_ = surface.Image();
    raster_.setDevicePixelRatio(1);
    rasterDpi_ = dpi;
    problem_.clear();
  } catch (const std::exception& error) {
    problem_ = QString("No label: ") + QString::fromStdString(error.what());
  }
  canvas_->update();
  emit drawn();
}

}  // namespace corvel
