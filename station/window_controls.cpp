#include "station/window_controls.h"
#include "common/units.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>
#include <variant>

#include "station/station_window.h"

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

// The member a control is kept in; a caption is kept in none.
using Slot = std::variant<std::monostate, QLineEdit * StationWindow::*,
                          QCheckBox * StationWindow::*, QComboBox * StationWindow::*,
                          QPushButton * StationWindow::*, QListWidget * StationWindow::*>;

constexpr Qt::Alignment kAbove = Qt::AlignLeft | Qt::AlignBottom;
constexpr Qt::Alignment kBeside = Qt::AlignRight | Qt::AlignVCenter;

// One control of the client area. Controls keep the client's plain 8 pt font unless
// `points` is given; captions are always set in their own font (8 pt unless given).
struct ControlRow {
  Slot slot{};
  const char* name = "";  // the object name, the member's name
  const char* text = "";  // the box's first text, the check box's or button's caption
  Place place{};
  Qt::Alignment align = kAbove;  // captions only
  double points = 0;
  bool bold = false;
  bool grey = false;  // a grey box ("On COM")
  bool wrap = false;  // a button whose caption wraps
};

using W = StationWindow;
const ControlRow kControls[] = {
    {.slot = &W::Text1, .name = "Text1", .place = {360, 240, 1335, 375}},
    {.text = "Code", .place = {360, 0, 1335, 240}},
    {.slot = &W::Text13, .name = "Text13", .text = "20", .place = {720, 840, 495, 285}},
    {.text = "FLAG", .place = {0, 840, 680, 285}, .align = kBeside},
    {.slot = &W::Check1, .name = "Check1", .text = "Non Weighed", .place = {3960, 480, 1455, 495}},
    {.slot = &W::Text10, .name = "Text10", .place = {2880, 120, 735, 375}},
    {.text = "Shelf Life # of Days", .place = {1760, 0, 1080, 615}, .align = kBeside},
    {.slot = &W::Text9, .name = "Text9", .place = {4440, 120, 615, 375}},
    {.text = "Tare", .place = {3660, 120, 740, 375}, .align = kBeside},
    {.slot = &W::Text3, .name = "Text3", .place = {720, 1320, 855, 375}},
    {.text = "Price", .place = {0, 1320, 680, 375}, .align = kBeside},
    {.slot = &W::Combo1, .name = "Combo1", .place = {3240, 1800, 1215, 315}},
    {.text = "Select Item to Print", .place = {3240, 1440, 1640, 340}},
    {.slot = &W::Text8, .name = "Text8", .place = {4920, 1680, 615, 495}},
    {.text = "Item Number", .place = {4740, 1320, 1335, 340}},
    {.slot = &W::Command2,
     .name = "Command2",
     .text = "Add New Item",
     .place = {3240, 2280, 1455, 615},
     .points = 12,
     .bold = true,
     .wrap = true},
    {.slot = &W::Text2, .name = "Text2", .place = {0, 2280, 2055, 375}},
    {.text = "Description", .place = {0, 1980, 2055, 300}},
    {.slot = &W::Text6, .name = "Text6", .place = {0, 2880, 2055, 375}},
    {.text = "Description Line 2", .place = {0, 2655, 2055, 225}},
    {.slot = &W::Text7, .name = "Text7", .place = {0, 3480, 2055, 375}},
    {.text = "Description Line 3", .place = {0, 3255, 2055, 225}},
    {.slot = &W::Text4,
     .name = "Text4",
     .text = "0.00",
     .place = {3840, 3240, 1935, 570},
     .points = 18,
     .bold = true},
    {.text = "Scale",
     .place = {2100, 3240, 1700, 570},
     .align = kBeside,
     .points = 18,
     .bold = true},
    {.slot = &W::Command1,
     .name = "Command1",
     .text = "Print",
     .place = {480, 3960, 1335, 495},
     .points = 13.5,
     .bold = true},
    {.slot = &W::Check2, .name = "Check2", .text = "Autoprint", .place = {2040, 3960, 1215, 495}},
    {.slot = &W::Check3,
     .name = "Check3",
     .text = "Scales Connected",
     .place = {120, 4680, 1935, 375},
     .points = 8,
     .bold = true},
    {.slot = &W::Text11,
     .name = "Text11",
     .place = {3120, 4800, 495, 285},
     .points = 8,
     .bold = true,
     .grey = true},
    {.text = "On COM",
     .place = {2100, 4800, 980, 285},
     .align = kBeside,
     .points = 8,
     .bold = true},
    {.slot = &W::Text5, .name = "Text5", .place = {3840, 4680, 2055, 375}},
    {.text = "Store Name", .place = {3840, 4380, 2055, 300}},
    {.slot = &W::Text12, .name = "Text12", .place = {3840, 5040, 2055, 375}},
    {.slot = &W::List1, .name = "List1", .place = {240, 5520, 2415, 450}},
    {.text = "Double Click To Reset Defaults", .place = {240, 5100, 2700, 400}},
    {.slot = &W::Check4,
     .name = "Check4",
     .text = "Use Check Digit for Price",
     .place = {3360, 5640, 2175, 375}},
};

// Tab order of the controls (first to last).
const Slot kTabOrder[] = {
    &W::Check4,   &W::Text13,   &W::Text11, &W::Check3, &W::Check2, &W::Text10, &W::Text9,
    &W::Command2, &W::Text8,    &W::Combo1, &W::Check1, &W::Text7,  &W::Text6,  &W::Text5,
    &W::Text4,    &W::Command1, &W::Text3,  &W::Text2,  &W::Text1,  &W::Text12, &W::List1};

// Makes the control of one row and keeps it in its member.
struct MakeControl {
  StationWindow& window;
  QWidget* client;
  const ControlRow& row;

  QWidget* operator()(std::monostate) const {
    auto* label = new QLabel(row.text, client);
    label->setAlignment(row.align);
    label->setWordWrap(true);
    return label;
  }
  QWidget* operator()(QLineEdit* W::*slot) const {
    auto* box = window.*slot = new QLineEdit(row.text, client);
    box->installEventFilter(&window);
    return box;
  }
  QWidget* operator()(QCheckBox* W::*slot) const {
    return window.*slot = new QCheckBox(row.text, client);
  }
  QWidget* operator()(QComboBox* W::*slot) const {
    auto* combo = window.*slot = new QComboBox(client);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
  }
  QWidget* operator()(QPushButton* W::*slot) const {
    return window.*slot =
               row.wrap ? new WrappingButton(row.text, client) : new QPushButton(row.text, client);
  }
  QWidget* operator()(QListWidget* W::*slot) const {
    return window.*slot = new QListWidget(client);
  }
};

// The control kept in a member; none for a caption.
struct KeptControl {
  const StationWindow& window;
  QWidget* operator()(std::monostate) const { return nullptr; }
  template <class Member>
  QWidget* operator()(Member slot) const {
    return window.*slot;
  }
};

}  // namespace

void BuildClientArea(StationWindow& window, QWidget* client) {
  QFont base("Tahoma");
  base.setPointSizeF(8);
  client->setFont(base);

  const double dpiX = client->logicalDpiX();
  const double dpiY = client->logicalDpiY();
  auto px = [](int twips, double dpi) {
    return static_cast<int>(std::lround(DotsFromTwips(twips, dpi)));
  };
  for (const ControlRow& row : kControls) {
    QWidget* control = std::visit(MakeControl{window, client, row}, row.slot);
    control->setObjectName(row.name);
    if (const bool caption = row.slot.index() == 0; caption || row.points > 0) {
      QFont font = base;
      font.setPointSizeF(row.points > 0 ? row.points : 8);
      font.setBold(row.bold);
      control->setFont(font);
    }
    if (row.grey) {
      QPalette grey = control->palette();
      grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
      control->setPalette(grey);
    }
    control->setGeometry(px(row.place.left, dpiX), px(row.place.top, dpiY),
                         px(row.place.width, dpiX), px(row.place.height, dpiY));
  }
  client->setFixedSize(px(kClientWidth, dpiX), px(kClientHeight, dpiY));

  QWidget* previous = nullptr;
  for (const Slot& slot : kTabOrder) {
    QWidget* control = std::visit(KeptControl{window}, slot);
    if (previous) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

}  // namespace corvel
