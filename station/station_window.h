#pragma once
// The station's one window: the operator's console and the station's working state.
// A thin view: it places the controls, forwards their events to the product, layout and
// label functions, and shows what they return. Every handler turns a failure into a
// message to the operator; nothing here ends or freezes the program.
//
// Controls keep their names as members and object names. Timer1 (400 ms, running from
// start-up) and the clicks of Check3 belong to the scale link, which connects to them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "barcode/barcode_job.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/print_surface.h"
#include "common/printer_target.h"
#include "common/settings_store.h"
#include "journal/journal_writer.h"
#include "platform/printing.h"
#include "station/label_preview.h"
#include "station/product_file.h"
#include "station/scale_view.h"
#include "station/weighed_label.h"

namespace corvel {

// What the window works with; the references must outlive it.
struct StationServices {
  SettingsStore& settings;
  MessageBoxes& messages;
  const Clock& clock;
  PrinterTarget target;  // where labels go (shown in the status line)
  // Makes the surface labels are printed on; called once, at the first label.
  std::function<std::unique_ptr<PrintSurface>()> makeSurface;
  std::string productFile = kProductFileName;
  // When set, used instead, made as the window opens: a surface that sends labels in the
  // background, tells what became of the last one through the first callback and the
  // paper its printer reports through the second (both on any thread).
  std::function<std::unique_ptr<PrintSurface>(PrintStatus, PaperReport)> makeBackgroundSurface =
      nullptr;
  // Opens the journal every printed label gets its row in, at the first label, with what
  // to call (on any thread) when it cannot be written; none: labels are not recorded.
  std::function<std::unique_ptr<JournalWriter>(JournalWriter::Problem)> openJournal = nullptr;
};

class StationWindow : public QMainWindow, public ScaleView {
  Q_OBJECT

 public:
  // Builds the window and runs the start-up: reset list, store name and port settings,
  // product file, first product selected.
  explicit StationWindow(StationServices services, QWidget* parent = nullptr);
  ~StationWindow() override;

  QLineEdit* Text1 = nullptr;       // "Code"
  QLineEdit* Text2 = nullptr;       // "Description"
  QLineEdit* Text3 = nullptr;       // "Price"
  QLineEdit* Text4 = nullptr;       // weight ("Scale")
  QLineEdit* Text5 = nullptr;       // "Store Name"
  QLineEdit* Text6 = nullptr;       // "Description Line 2"
  QLineEdit* Text7 = nullptr;       // "Description Line 3"
  QLineEdit* Text8 = nullptr;       // "Item Number"
  QLineEdit* Text9 = nullptr;       // "Tare"
  QLineEdit* Text10 = nullptr;      // "Shelf Life # of Days"
  QLineEdit* Text11 = nullptr;      // "On COM"
  QLineEdit* Text12 = nullptr;      // store name line 2
  QLineEdit* Text13 = nullptr;      // "FLAG"
  QCheckBox* Check1 = nullptr;      // "Non Weighed"
  QCheckBox* Check2 = nullptr;      // "Autoprint"
  QCheckBox* Check3 = nullptr;      // "Scales Connected"
  QCheckBox* Check4 = nullptr;      // "Use Check Digit for Price"
  QComboBox* Combo1 = nullptr;      // "Select Item to Print"
  QListWidget* List1 = nullptr;     // "Double Click To Reset Defaults"
  QPushButton* Command1 = nullptr;  // "Print"
  QPushButton* Command2 = nullptr;  // "Add New Item"
  QTimer* Timer1 = nullptr;         // scale polling, 400 ms
  QLabel* StatusLine = nullptr;     // where labels go, and the scale's state
  LabelPreview* Preview = nullptr;  // the live label preview, docked at the right

  // The serial port number in effect: the stored "COMPORT" at start-up, then the
  // number typed into "On COM" (rounded) each time that box loses the focus.
  int PortNumber() const { return portNumber_; }

  ProductStation& Products() { return products_; }
  const BarcodeJob& Job() const { return job_; }
  const PrinterTarget& Target() const { return services_.target; }
  const Clock& StationClock() const { return services_.clock; }

  // Says once, in a message and on the status line, that the settings cannot be read
  // (the station then works with the defaults and saves nothing that fails).
  void ReportSettingsProblem(const std::string& problem);

  // The boxes as label printing reads them, at this moment.
  LabelBoxes CurrentLabelBoxes() const;

  // ScaleView
  QString WeightText() const override;
  void SetWeightText(const QString& text) override;
  bool AutoprintChecked() const override;
  bool ScalesConnectedChecked() const override;
  void SetScalesConnected(bool checked) override;
  void PrintWeighedLabel() override;
  void SetScaleStatus(const QString& text) override;

 signals:
  // "On COM" lost the focus: the port number changed (or was confirmed); the scale link
  // closes the port so the next poll opens this one.
  void portNumberChanged(int portNumber);
  // A label sent in the background was refused (the printer's reason); emitted before
  // the operator is told, so the scale link can stop Autoprint at once.
  void labelRefused(const QString& reason);
  // A label's row is in the journal (today's totals may have changed).
  void journalWritten();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Labels still on their way to the printer get the print server's bound to arrive;
  // the operator is told how many did not.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ConnectControls();
  void BuildPreview(QWidget* client);
  void StartUp();

  void Combo1_Click(int index);
  void Combo1_EditTextTyped(const QString& text);
  void Command1_Click();
  void Command2_Click();
  void Check1_Click();
  void List1_DblClick(QListWidgetItem* item);
  void LostFocus(QLineEdit* box);
  void CommitProduct(QLineEdit* box, ProductBox field);
  void SaveStoreName(QLineEdit* box, std::string_view key);
  void Text4_LostFocus();
  void Text11_LostFocus();
  void Text13_LostFocus();
  void ShowSelected();
  void UpdateStatusLine();
  // The fate of the last label sent in the background. The first refusal is also a
  // message; later ones only count on the status line until the operator acts again
  // (presses "Print" or switches the scale on), so a run of refused labels is one
  // message, not one box over the other per label.
  void LabelStatus(const QString& text, bool refused);
  // The printer's paper as it reported it: shown on the status line and in the preview.
  void PaperKnown(const QueueMedia& paper);
  // Makes the background surface (once): its printer is asked about its paper at once.
  void MakeBackgroundSurface();

  // The journal's row of the label just printed, and the outcomes its print statuses
  // tell (window_journal.cpp).
  void JournalLabel();
  void JournalStatus(const std::string& text, bool refused);
  // Says once, on the status line, that the journal cannot be written.
  void ReportJournalProblem(const QString& problem);

  // Runs `action`; a failure becomes a message to the operator, starting with `what`.
  void Guarded(const std::string& what, const std::function<void()>& action);

  StationServices services_;
  ProductStation products_;
  // The edit rule of each box that has one, run when the box loses the focus.
  std::map<QLineEdit*, std::function<void()>> lostFocus_;
  BarcodeJob job_;
  std::unique_ptr<PrintSurface> surface_;
  int portNumber_ = 1;
  QString scaleStatus_;
  QString settingsProblem_;
  QString lastLabel_;
  int refusedLabels_ = 0;  // since the operator was last told
  QString paper_;          // "76.2 x 50.8 mm, 203 dpi" once the printer has said
  QString journalProblem_;
  // The journal's way back to this window, cut when the window goes (the journal's
  // thread may still report then).
  struct JournalRelay;
  struct JournalLink {
    std::shared_ptr<JournalRelay> relay;
    ~JournalLink();
  };
  JournalLink journalLink_;
  std::unique_ptr<JournalWriter> journal_;  // after the link: closed before it is cut
  // Labels sent in the background whose first status has not come yet, oldest first,
  // and the labels the print server has numbered.
  std::deque<std::uint64_t> unsentTickets_;
  std::map<std::string, std::uint64_t> ticketOfJob_;
};

}  // namespace corvel
