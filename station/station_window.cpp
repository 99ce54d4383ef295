#include "station/station_window.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QStatusBar>
#include <cmath>

#include "common/errors.h"
#include "common/number_text.h"
#include "platform/qt_text.h"
#include "station/label_barcode.h"
#include "station/label_box_table.h"
#include "station/label_layout.h"
#include "station/layout_editor.h"
#include "station/scale_link.h"
#include "station/station_setup.h"
#include "station/today_totals.h"
#include "station/window_controls.h"

namespace corvel {
namespace {

std::string FromQ(const QString& text) {
  return text.toStdString();
}

// Leading-number reading that reads a number beyond a double as 0.
double ValueOf(const QString& text) {
  try {
    return ReadLeadingNumber(FromQ(text));
  } catch (const OverflowError&) {
    return 0;
  }
}

// A text from a file or the settings as a box shows it: up to its first zero byte.
QString Shown(const std::string& text) {
  return ToQString(ShownText(text));
}

}  // namespace

StationWindow::StationWindow(StationServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), products_(services_.productFile) {
  BuildControls();
  StartUp();
  MakeBackgroundSurface();
}

StationWindow::~StationWindow() {
  // Stops the background sender before anything it reports to goes.
  surface_.reset();
  // The boxes outlive this object's members while the base class deletes them, and a
  // box that has the focus loses it then: no edit rule may run on a half-destroyed window.
  for (QLineEdit* box : findChildren<QLineEdit*>())
    box->removeEventFilter(this);
}

void StationWindow::BuildControls() {
  setWindowTitle("tarewise");
  auto* client = new QWidget(this);
  client->setObjectName("client");
  setCentralWidget(client);
  BuildClientArea(*this, client);

  StatusLine = new QLabel(this);
  StatusLine->setObjectName("StatusLine");
  // Long folder names and scale errors wrap instead of being cut off.
  StatusLine->setWordWrap(true);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(StatusLine, 1);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(400);
  Timer1->start();

  ConnectControls();
  BuildPreview(client);
  Check4->setFocus();
  UpdateStatusLine();
}

void StationWindow::ConnectControls() {
  connect(Combo1, &QComboBox::currentIndexChanged, this, &StationWindow::Combo1_Click);
  connect(Combo1, &QComboBox::activated, this, [this](int index) {
    // Choosing the shown entry again after its text was typed over selects it again.
    if (index >= 0 && products_.selected != static_cast<std::uint64_t>(index) + 1)
      Combo1_Click(index);
  });
  connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, &StationWindow::Combo1_EditTextTyped);
  connect(Command1, &QPushButton::clicked, this, &StationWindow::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &StationWindow::Command2_Click);
  connect(Check1, &QCheckBox::clicked, this, &StationWindow::Check1_Click);
  // The scale switched on again: a refused label is told again.
  connect(Check3, &QCheckBox::clicked, this, [this](bool on) {
    if (on) refusedLabels_ = 0;
  });
  connect(List1, &QListWidget::itemDoubleClicked, this, &StationWindow::List1_DblClick);

  // The edit rule of each box, run when it loses the focus.
  for (const LabelBoxRow& row : LabelBoxTable()) {
    if (!row.edit) continue;
    QLineEdit* box = findChild<QLineEdit*>(row.control);
    lostFocus_[box] = [this, box, field = *row.edit] { CommitProduct(box, field); };
  }
  lostFocus_[Text4] = [this] { Text4_LostFocus(); };
  lostFocus_[Text11] = [this] { Text11_LostFocus(); };
  lostFocus_[Text13] = [this] { Text13_LostFocus(); };
  lostFocus_[Text5] = [this] { SaveStoreName(Text5, kStoreName1Key.key); };
  lostFocus_[Text12] = [this] { SaveStoreName(Text12, kStoreName2Key.key); };
}

void StationWindow::BuildPreview(QWidget* client) {
  // The label size in use: the media chosen for the queue, else the page size of the
  // label documents ("PdfPageSize", 60 x 40 mm unless set).
  const PrinterTarget& target = services_.target;
  const bool media = target.mediaWidthMm > 0 && target.mediaHeightMm > 0;
  const bool page = target.pageWidthMm > 0 && target.pageHeightMm > 0;
  Preview = new LabelPreview(
      *this, {services_.settings, services_.clock, [this] { return CurrentLabelBoxes(); },
              media  ? target.mediaWidthMm
              : page ? target.pageWidthMm
                     : kStationLabelWidthMm,
              media  ? target.mediaHeightMm
              : page ? target.pageHeightMm
                     : kStationLabelHeightMm});
  TodayTotals::AddTo(*Preview, *this, services_.settings);
  client->addAction(Preview->ToggleAction());
  client->addAction(Preview->Editor()->EditAction());
  Preview->Editor()->SetPrinterDpi(target.calibration.dpi);
  client->setContextMenuPolicy(Qt::ActionsContextMenu);
  // Every change of a box or tick redraws it: typing, commits, a product selected, a
  // weight from the scale.
  for (QLineEdit* box : client->findChildren<QLineEdit*>())
    connect(box, &QLineEdit::textChanged, Preview, &LabelPreview::Refresh);
  for (QCheckBox* tick : {Check1, Check4})
    connect(tick, &QCheckBox::toggled, Preview, &LabelPreview::Refresh);
}

void StationWindow::StartUp() {
  List1->clear();
  for (const char* entry : kResetEntries)
    List1->addItem(entry);

  try {
    Text5->setText(Shown(kStoreName1Key.Read(services_.settings)));
    Text12->setText(Shown(kStoreName2Key.Read(services_.settings)));
    const QString port = ToQString(kPortKey.Read(services_.settings));
    Text11->setText(ToQString(GeneralNumber(ValueOf(port))));
    portNumber_ = PortNumberFromText(FromQ(port)).number;
  } catch (const std::exception& error) {
    ReportSettingsProblem(error.what());
  }

  LoadResult loaded;
  Guarded("The product file could not be loaded", [&] { loaded = LoadProductFile(products_); });
  {
    const QSignalBlocker blocker(Combo1);
    Combo1->clear();
    for (const std::string& entry : loaded.entries)
      Combo1->addItem(ToQString(entry));
  }
  if (Combo1->count() > 0) {
    Combo1->setCurrentIndex(0);
    Combo1_Click(0);
  }
  ShowSelected();
  if (!loaded.notice.empty()) services_.messages.Inform(loaded.notice, "tarewise");
}

LabelBoxes StationWindow::CurrentLabelBoxes() const {
  LabelBoxes boxes;
  for (const LabelBoxRow& row : LabelBoxTable()) {
    if (row.text) boxes.*row.text = FromQ(findChild<QLineEdit*>(row.control)->text());
    if (row.tick) boxes.*row.tick = findChild<QCheckBox*>(row.control)->isChecked();
  }
  return boxes;
}

QString StationWindow::WeightText() const {
  return Text4->text();
}
void StationWindow::SetWeightText(const QString& text) {
  Text4->setText(text);
}
bool StationWindow::AutoprintChecked() const {
  return Check2->isChecked();
}
bool StationWindow::ScalesConnectedChecked() const {
  return Check3->isChecked();
}
void StationWindow::SetScalesConnected(bool checked) {
  Check3->setChecked(checked);
}

void StationWindow::Guarded(const std::string& what, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    services_.messages.Inform(what + ": " + error.what(), "tarewise");
  }
}

bool StationWindow::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl+E switches the layout editor from a box too, where it would move to the line's end.
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_E))
    return true;
  if (event->type() == QEvent::FocusOut) {
    // Only a focus move inside the window commits; the window losing activation or a
    // context menu opening does not.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (auto* box = qobject_cast<QLineEdit*>(watched)) LostFocus(box);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void StationWindow::LostFocus(QLineEdit* box) {
  if (const auto rule = lostFocus_.find(box); rule != lostFocus_.end()) rule->second();
  if (Preview) Preview->Refresh();
}

void StationWindow::SaveStoreName(QLineEdit* box, std::string_view key) {
  Guarded("The store name was not saved", [&] {
    const std::string text = FromQ(box->text());
    // Passing through a box that shows a stored name up to a zero byte keeps the name
    // as stored; anything typed is saved.
    const std::optional<std::string> stored = services_.settings.Get(kStationSection, key);
    if (stored && *stored != text && ShownText(*stored) == text) return;
    services_.settings.Save(kStationSection, key, text);
  });
}

void StationWindow::CommitProduct(QLineEdit* box, ProductBox field) {
  Guarded("The product was not changed", [&] {
    const CommitResult result = CommitProductBox(products_, field, FromQ(box->text()));
    if (box->text() != ToQString(result.boxText)) box->setText(ToQString(result.boxText));
    if (!result.message.empty()) services_.messages.Inform(result.message, "tarewise");
  });
}

void StationWindow::Text4_LostFocus() {
  Guarded("The weight was not taken",
          [&] { Text4->setText(ToQString(FormatNumber(ValueOf(Text4->text()), "##0.000"))); });
}

void StationWindow::Text13_LostFocus() {
  Text13->setText(ToQString(FlagBoxText(ValueOf(Text13->text()))));
}

void StationWindow::Text11_LostFocus() {
  portNumber_ = PortNumberFromText(FromQ(Text11->text())).number;
  Guarded("The port number was not saved",
          [&] { services_.settings.Save(kStationSection, kPortKey.key, FromQ(Text11->text())); });
  emit portNumberChanged(portNumber_);
}

void StationWindow::Combo1_Click(int index) {
  if (index < 0) {
    products_.selected = 0;
    return;
  }
  products_.selected = static_cast<std::uint64_t>(index) + 1;
  Combo1->lineEdit()->setCursorPosition(0);
  Text8->setText(ToQString(GeneralNumber(static_cast<double>(products_.selected))));
  ShowSelected();
}

void StationWindow::Combo1_EditTextTyped(const QString& text) {
  // Typing over the selector's text leaves no product selected, so no edit rule writes
  // until a product is chosen again.
  const int index = Combo1->currentIndex();
  products_.selected =
      index >= 0 && text == Combo1->itemText(index) ? static_cast<std::uint64_t>(index) + 1 : 0;
}

void StationWindow::ShowSelected() {
  Guarded("The product could not be shown", [&] {
    const std::optional<ProductBoxTexts> texts = ShowSelectedProduct(products_);
    if (!texts) return;
    for (const LabelBoxRow& row : LabelBoxTable()) {
      if (row.productTick)
        findChild<QCheckBox*>(row.control)->setChecked((*texts).*row.productTick);
      if (!row.productText) continue;
      QLineEdit* box = findChild<QLineEdit*>(row.control);
      box->setText(ToQString((*texts).*row.productText));
      // Show the start of padded texts, not the padding after them.
      box->setCursorPosition(0);
    }
  });
}

void StationWindow::Command1_Click() {
  refusedLabels_ = 0;  // the operator acts: a refusal of this label is told again
  Guarded("The label was not printed", [&] { PrintWeighedLabel(); });
}

void StationWindow::Command2_Click() {
  Guarded("No new item was added", [&] {
    const std::string entry = AddNewItem(products_);
    Combo1->addItem(ToQString(entry));
    Combo1->setCurrentIndex(Combo1->count() - 1);
    if (products_.selected != static_cast<std::uint64_t>(Combo1->count()))
      Combo1_Click(Combo1->count() - 1);
    ShowSelected();
  });
}

void StationWindow::Check1_Click() {
  Guarded("The product was not changed", [&] {
    const CommitResult result = CommitNonWeighed(products_, Check1->isChecked());
    if (!result.message.empty()) {
      if (const auto texts = ShowSelectedProduct(products_)) Check1->setChecked(texts->nonWeighed);
      services_.messages.Inform(result.message, "tarewise");
    }
  });
}

void StationWindow::List1_DblClick(QListWidgetItem* item) {
  // A reset is undone like any edit of the layout.
  Guarded("The layout was not reset", [&] {
    Preview->Editor()->Record(
        [&] { ResetLabelLayout(services_.settings, services_.messages, List1->row(item)); });
  });
  if (Preview) Preview->Refresh();
}

}  // namespace corvel
