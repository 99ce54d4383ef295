// The station window's labels: the surface they are printed on, what became of each one
// sent in the background, and the status line that says where labels go and how the
// last one fared.
#include <QCloseEvent>

#include "common/errors.h"
#include "common/number_text.h"
#include "platform/cups_queue.h"
#include "station/layout_editor.h"
#include "station/station_window.h"

namespace corvel {

void StationWindow::MakeBackgroundSurface() {
  if (surface_ || !services_.makeBackgroundSurface) return;
  Guarded("Labels cannot be printed", [&] {
    // Sent off the window's thread: the window never waits for the print server. The
    // printer is asked about its paper now, so the first label is laid out as every
    // later one.
    surface_ = services_.makeBackgroundSurface(
        [this](const std::string& text, bool refused) {
          QMetaObject::invokeMethod(
              this,
              [this, text, refused] {
                JournalStatus(text, refused);
                LabelStatus(QString::fromStdString(text), refused);
              },
              Qt::QueuedConnection);
        },
        [this](const QueueMedia& paper) {
          QMetaObject::invokeMethod(
              this, [this, paper] { PaperKnown(paper); }, Qt::QueuedConnection);
        });
  });
}

void StationWindow::PrintWeighedLabel() {
  try {
    MakeBackgroundSurface();
    if (!surface_) {
      if (!services_.makeSurface) throw PrintError("no printer is set up for labels");
      surface_ = services_.makeSurface();
    }
    corvel::PrintWeighedLabel(CurrentLabelBoxes(), services_.settings, *surface_, services_.clock,
                              job_);
    JournalLabel();
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
  QString text = "Labels go to " + QString::fromStdString(services_.target.Describe());
  if (!paper_.isEmpty()) text += " (" + paper_ + ")";
  if (!lastLabel_.isEmpty()) text += "; last label: " + lastLabel_;
  if (!scaleStatus_.isEmpty()) text += "\nScale: " + scaleStatus_;
  if (!settingsProblem_.isEmpty()) text += "\nSettings: " + settingsProblem_;
  if (!journalProblem_.isEmpty()) text += "\nJournal: " + journalProblem_;
  if (const std::string& problem = services_.target.calibration.problem; !problem.empty())
    text += "\nCalibration: " + QString::fromStdString(problem);
  StatusLine->setText(text);
  StatusLine->setToolTip(text);
}

void StationWindow::ReportSettingsProblem(const std::string& problem) {
  if (!settingsProblem_.isEmpty()) return;  // told once
  settingsProblem_ = QString::fromStdString(problem);
  UpdateStatusLine();
  services_.messages.Inform("The settings could not be read: " + problem, "tarewise");
}

void StationWindow::LabelStatus(const QString& text, bool refused) {
  lastLabel_ = text;
  const bool autoprint = Check2->isChecked() && Timer1->isActive();
  const bool tell = refused && ++refusedLabels_ == 1;
  if (refusedLabels_ > 1) lastLabel_ += QString(" (%1 labels not printed)").arg(refusedLabels_);
  UpdateStatusLine();
  if (refused) emit labelRefused(text);
  if (!tell) return;
  std::string message = "The label was not printed: " + text.toStdString();
  if (autoprint)
    message +=
        ". Autoprint has stopped: the scale is off until \"Scales Connected\" is ticked "
        "again.";
  services_.messages.Inform(message, "tarewise");
}

void StationWindow::PaperKnown(const QueueMedia& paper) {
  paper_ = QString::fromStdString(paper.Describe());
  if (paper.dpi > 0) paper_ += QString::fromStdString(", " + GeneralNumber(paper.dpi) + " dpi");
  UpdateStatusLine();
  if (!Preview) return;
  Preview->SetLabelSize(paper.widthMm, paper.heightMm);
  // Layout moves snap to the head's dots: the calibrated resolution, else the queue's.
  if (services_.target.calibration.dpi <= 0 && paper.dpi > 0)
    Preview->Editor()->SetPrinterDpi(paper.dpi);
}

void StationWindow::closeEvent(QCloseEvent* event) {
  if (surface_) {
    if (const int unsent = surface_->Unsent(static_cast<int>(kPrintServerTimeout.count()));
        unsent > 0) {
      services_.messages.Inform(
          std::to_string(unsent) + (unsent == 1 ? " label was" : " labels were") +
              " not printed: the printer did not take " + (unsent == 1 ? "it" : "them") +
              " before the station closed (" + lastLabel_.toStdString() + ")",
          "tarewise");
    }
  }
  QMainWindow::closeEvent(event);
}

}  // namespace corvel
