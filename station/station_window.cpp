#include "station/station_window.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLayout>
#include <QPainter>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>

#include "common/errors.h"
#include "common/number_text.h"
#include "station/label_layout.h"
#include "station/scale_link.h"

namespace corvel {
namespace {

// The client area of the controls, in twips.
constexpr int kClientWidth = 6075;
constexpr int kClientHeight = 6195;

struct Place {
  int left, top, width, height;
};

// A push button whose caption wraps onto more lines when it is wider than the button
// ("Add New Item" in 12 pt bold does not fit one line of its button).
class WrappingButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rect().adjusted(3, 2, -3, -2), Qt::AlignCenter | Qt::TextWordWrap, text());
  }
};

QString ToQ(const std::string& text) {
  return QString::fromStdString(text);
}
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
  return ToQ(ShownText(text));
}

}  // namespace

StationWindow::StationWindow(StationServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), products_(services_.productFile) {
  BuildControls();
  StartUp();
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
  QFont base("Tahoma");
  base.setPointSizeF(8);
  client->setFont(base);

  const double dpiX = client->logicalDpiX();
  const double dpiY = client->logicalDpiY();
  auto px = [](int twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440)); };
  auto place = [&](QWidget* widget, Place p) {
    widget->setGeometry(px(p.left, dpiX), px(p.top, dpiY), px(p.width, dpiX), px(p.height, dpiY));
  };
  auto font = [&](double points, bool bold) {
    QFont f = base;
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
  };
  auto box = [&](const char* name, Place p, const QString& text = {}) {
    auto* edit = new QLineEdit(text, client);
    edit->setObjectName(name);
    place(edit, p);
    edit->installEventFilter(this);
    return edit;
  };
  auto check = [&](const char* name, const QString& caption, Place p) {
    auto* checkBox = new QCheckBox(caption, client);
    checkBox->setObjectName(name);
    place(checkBox, p);
    return checkBox;
  };
  // Captions are plain 8 pt unless the control's caption is set in its own font.
  auto caption = [&](const QString& text, Place p, Qt::Alignment align, double points = 8,
                     bool bold = false) {
    auto* label = new QLabel(text, client);
    label->setFont(font(points, bold));
    label->setAlignment(align);
    label->setWordWrap(true);
    place(label, p);
    return label;
  };
  const auto left = Qt::AlignLeft | Qt::AlignBottom;
  const auto right = Qt::AlignRight | Qt::AlignVCenter;

  Text1 = box("Text1", {360, 240, 1335, 375});
  caption("Code", {360, 0, 1335, 240}, left);
  Text13 = box("Text13", {720, 840, 495, 285}, "20");
  caption("FLAG", {0, 840, 680, 285}, right);
  Check1 = check("Check1", "Non Weighed", {3960, 480, 1455, 495});
  Text10 = box("Text10", {2880, 120, 735, 375});
  caption("Shelf Life # of Days", {1760, 0, 1080, 615}, right);
  Text9 = box("Text9", {4440, 120, 615, 375});
  caption("Tare", {3660, 120, 740, 375}, right);
  Text3 = box("Text3", {720, 1320, 855, 375});
  caption("Price", {0, 1320, 680, 375}, right);
  Combo1 = new QComboBox(client);
  Combo1->setObjectName("Combo1");
  Combo1->setEditable(true);
  Combo1->setInsertPolicy(QComboBox::NoInsert);
  place(Combo1, {3240, 1800, 1215, 315});
  caption("Select Item to Print", {3240, 1440, 1640, 340}, left);
  Text8 = box("Text8", {4920, 1680, 615, 495});
  caption("Item Number", {4740, 1320, 1335, 340}, left);
  Command2 = new WrappingButton("Add New Item", client);
  Command2->setObjectName("Command2");
  Command2->setFont(font(12, true));
  place(Command2, {3240, 2280, 1455, 615});
  Text2 = box("Text2", {0, 2280, 2055, 375});
  caption("Description", {0, 1980, 2055, 300}, left);
  Text6 = box("Text6", {0, 2880, 2055, 375});
  caption("Description Line 2", {0, 2655, 2055, 225}, left);
  Text7 = box("Text7", {0, 3480, 2055, 375});
  caption("Description Line 3", {0, 3255, 2055, 225}, left);
  Text4 = box("Text4", {3840, 3240, 1935, 570}, "0.00");
  Text4->setFont(font(18, true));
  caption("Scale", {2100, 3240, 1700, 570}, right, 18, true);
  Command1 = new QPushButton("Print", client);
  Command1->setObjectName("Command1");
  Command1->setFont(font(13.5, true));
  place(Command1, {480, 3960, 1335, 495});
  Check2 = check("Check2", "Autoprint", {2040, 3960, 1215, 495});
  Check3 = check("Check3", "Scales Connected", {120, 4680, 1935, 375});
  Check3->setFont(font(8, true));
  Text11 = box("Text11", {3120, 4800, 495, 285});
  Text11->setFont(font(8, true));
  QPalette grey = Text11->palette();
  grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
  Text11->setPalette(grey);
  caption("On COM", {2100, 4800, 980, 285}, right, 8, true);
  Text5 = box("Text5", {3840, 4680, 2055, 375});
  caption("Store Name", {3840, 4380, 2055, 300}, left);
  Text12 = box("Text12", {3840, 5040, 2055, 375});
  List1 = new QListWidget(client);
  List1->setObjectName("List1");
  place(List1, {240, 5520, 2415, 450});
  caption("Double Click To Reset Defaults", {240, 5100, 2700, 400}, left);
  Check4 = check("Check4", "Use Check Digit for Price", {3360, 5640, 2175, 375});

  client->setFixedSize(px(kClientWidth, dpiX), px(kClientHeight, dpiY));

  // Tab order of the controls (0 first).
  const QList<QWidget*> tabOrder = {Check4,   Text13,   Text11, Check3, Check2, Text10, Text9,
                                    Command2, Text8,    Combo1, Check1, Text7,  Text6,  Text5,
                                    Text4,    Command1, Text3,  Text2,  Text1,  Text12, List1};
  for (qsizetype i = 1; i < tabOrder.size(); ++i)
    setTabOrder(tabOrder[i - 1], tabOrder[i]);

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
  connect(List1, &QListWidget::itemDoubleClicked, this, &StationWindow::List1_DblClick);

  Check4->setFocus();
  UpdateStatusLine();
}

void StationWindow::StartUp() {
  List1->clear();
  for (const char* entry : kResetEntries)
    List1->addItem(entry);

  try {
    Text5->setText(Shown(services_.settings.GetOr(kStationSection, "Storename1", "Storename")));
    Text12->setText(Shown(services_.settings.GetOr(kStationSection, "Storename12", " ")));
    const QString port = ToQ(services_.settings.GetOr(kStationSection, "COMPORT", "1"));
    Text11->setText(ToQ(GeneralNumber(ValueOf(port))));
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
      Combo1->addItem(ToQ(entry));
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
  boxes.code = FromQ(Text1->text());
  boxes.description1 = FromQ(Text2->text());
  boxes.price = FromQ(Text3->text());
  boxes.weight = FromQ(Text4->text());
  boxes.storeName1 = FromQ(Text5->text());
  boxes.description2 = FromQ(Text6->text());
  boxes.description3 = FromQ(Text7->text());
  boxes.itemNumber = FromQ(Text8->text());
  boxes.tare = FromQ(Text9->text());
  boxes.shelfLife = FromQ(Text10->text());
  boxes.storeName2 = FromQ(Text12->text());
  boxes.flag = FromQ(Text13->text());
  boxes.nonWeighed = Check1->isChecked();
  boxes.usePriceCheckDigit = Check4->isChecked();
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

void StationWindow::PrintWeighedLabel() {
  try {
    if (!surface_ && services_.makeBackgroundSurface) {
      // Sent off the window's thread: the window never waits for the print server.
      surface_ = services_.makeBackgroundSurface([this](const std::string& text, bool refused) {
        QMetaObject::invokeMethod(
            this, [this, shown = ToQ(text), refused] { LabelStatus(shown, refused); },
            Qt::QueuedConnection);
      });
    }
    if (!surface_) {
      if (!services_.makeSurface) throw PrintError("no printer is set up for labels");
      surface_ = services_.makeSurface();
    }
    corvel::PrintWeighedLabel(CurrentLabelBoxes(), services_.settings, *surface_, services_.clock,
                              job_);
  } catch (const Failure&) {
    throw;
  } catch (const std::exception& error) {
    throw PrintError(error.what());
  }
}

void StationWindow::SetScaleStatus(const QString& text) {
  scaleStatus_ = text;
  UpdateStatusLine();
}

void StationWindow::UpdateStatusLine() {
  QString text = "Labels go to " + ToQ(services_.target.Describe());
  if (!lastLabel_.isEmpty()) text += "; last label: " + lastLabel_;
  if (!scaleStatus_.isEmpty()) text += "\nScale: " + scaleStatus_;
  if (!settingsProblem_.isEmpty()) text += "\nSettings: " + settingsProblem_;
  StatusLine->setText(text);
  StatusLine->setToolTip(text);
}

void StationWindow::ReportSettingsProblem(const std::string& problem) {
  if (!settingsProblem_.isEmpty()) return;  // told once
  settingsProblem_ = ToQ(problem);
  UpdateStatusLine();
  services_.messages.Inform("The settings could not be read: " + problem, "tarewise");
}

void StationWindow::LabelStatus(const QString& text, bool refused) {
  lastLabel_ = text;
  UpdateStatusLine();
  if (refused) services_.messages.Inform("The label was not printed: " + FromQ(text), "tarewise");
}

void StationWindow::Guarded(const std::string& what, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    services_.messages.Inform(what + ": " + error.what(), "tarewise");
  }
}

bool StationWindow::eventFilter(QObject* watched, QEvent* event) {
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
  if (box == Text1) return CommitProduct(box, ProductBox::Code);
  if (box == Text2) return CommitProduct(box, ProductBox::Description1);
  if (box == Text3) return CommitProduct(box, ProductBox::Price);
  if (box == Text6) return CommitProduct(box, ProductBox::Description2);
  if (box == Text7) return CommitProduct(box, ProductBox::Description3);
  if (box == Text9) return CommitProduct(box, ProductBox::Tare);
  if (box == Text10) return CommitProduct(box, ProductBox::ShelfLife);
  if (box == Text4) return Text4_LostFocus();
  if (box == Text11) return Text11_LostFocus();
  if (box == Text13) return Text13_LostFocus();
  if (box == Text5) return SaveStoreName(Text5, "Storename1");
  if (box == Text12) return SaveStoreName(Text12, "Storename12");
}

void StationWindow::SaveStoreName(QLineEdit* box, const char* key) {
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
    if (box->text() != ToQ(result.boxText)) box->setText(ToQ(result.boxText));
    if (!result.message.empty()) services_.messages.Inform(result.message, "tarewise");
  });
}

void StationWindow::Text4_LostFocus() {
  Guarded("The weight was not taken",
          [&] { Text4->setText(ToQ(FormatNumber(ValueOf(Text4->text()), "##0.000"))); });
}

void StationWindow::Text13_LostFocus() {
  double flag = std::floor(ValueOf(Text13->text()));
  if (flag < 20 || flag > 29) flag = 20;
  Text13->setText(ToQ(GeneralNumber(flag)));
}

void StationWindow::Text11_LostFocus() {
  portNumber_ = PortNumberFromText(FromQ(Text11->text())).number;
  Guarded("The port number was not saved",
          [&] { services_.settings.Save(kStationSection, "COMPORT", FromQ(Text11->text())); });
  emit portNumberChanged(portNumber_);
}

void StationWindow::Combo1_Click(int index) {
  if (index < 0) {
    products_.selected = 0;
    return;
  }
  products_.selected = static_cast<std::uint64_t>(index) + 1;
  Combo1->lineEdit()->setCursorPosition(0);
  Text8->setText(ToQ(GeneralNumber(static_cast<double>(products_.selected))));
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
    Text1->setText(ToQ(texts->code));
    Text3->setText(ToQ(texts->price));
    Text9->setText(ToQ(texts->tare));
    Check1->setChecked(texts->nonWeighed);
    Text10->setText(ToQ(texts->shelfLife));
    Text2->setText(ToQ(texts->description1));
    Text6->setText(ToQ(texts->description2));
    Text7->setText(ToQ(texts->description3));
    // Show the start of padded texts, not the padding after them.
    for (QLineEdit* box : {Text1, Text2, Text3, Text6, Text7, Text9, Text10})
      box->setCursorPosition(0);
  });
}

void StationWindow::Command1_Click() {
  Guarded("The label was not printed", [&] { PrintWeighedLabel(); });
}

void StationWindow::Command2_Click() {
  Guarded("No new item was added", [&] {
    const std::string entry = AddNewItem(products_);
    Combo1->addItem(ToQ(entry));
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
  Guarded("The layout was not reset",
          [&] { ResetLabelLayout(services_.settings, services_.messages, List1->row(item)); });
}

}  // namespace corvel
