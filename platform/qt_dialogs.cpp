#include "platform/qt_dialogs.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "platform/cups_queue.h"
#include "platform/qt_text.h"

namespace corvel {
namespace {

void WriteMessage(std::string_view text, std::string_view title) {
  const std::string line =
      (title.empty() ? std::string() : std::string(title) + ": ") + std::string(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

UnattendedPrintAnswer ParseUnattendedPrintAnswer(std::string_view value) {
  constexpr std::string_view kAccept = "accept";
  UnattendedPrintAnswer answer;
  if (value == kAccept) {
    answer.accept = true;
    return answer;
  }
  if (value == "cancel") return answer;
  answer.understood = false;
  if (value.size() <= kAccept.size() + 1 || value.substr(0, kAccept.size() + 1) != "accept:") {
    return answer;
  }
  long copies = 0;
  for (char c : value.substr(kAccept.size() + 1)) {
    if (c < '0' || c > '9') return answer;
    copies = std::min(copies * 10 + (c - '0'), 100000L);
  }
  answer.understood = true;
  answer.accept = true;
  answer.copies = static_cast<int>(std::clamp(copies, 1L, 9999L));
  return answer;
}

std::string UnattendedAnswerProblem() {
  if (!DialogsUnattended()) return {};
  const std::string value = qgetenv("CORVEL_PRINT_DIALOG").toStdString();
  if (ParseUnattendedPrintAnswer(value).understood) return {};
  return "CORVEL_PRINT_DIALOG \"" + value.substr(0, 40) +
         "\" is not an answer to the print dialog: use accept, accept:N (N copies) or cancel";
}

bool DialogsUnattended() {
  return !qEnvironmentVariableIsEmpty("CORVEL_PRINT_DIALOG");
}

bool QtMessageBoxes::AskYesNo(std::string_view text, std::string_view title, bool defaultYes) {
  if (DialogsUnattended()) {
    WriteMessage(text, title);
    const QByteArray answer = qgetenv("CORVEL_MESSAGE_ANSWER").trimmed().toLower();
    if (answer == "yes") return true;
    if (answer == "no") return false;
    return defaultYes;
  }
  const auto chosen = QMessageBox::question(nullptr, ToQString(title), ToQString(text),
                                            QMessageBox::Yes | QMessageBox::No,
                                            defaultYes ? QMessageBox::Yes : QMessageBox::No);
  return chosen == QMessageBox::Yes;
}

void QtMessageBoxes::Inform(std::string_view text, std::string_view title) {
  if (DialogsUnattended()) {
    WriteMessage(text, title);
    return;
  }
  QMessageBox::information(nullptr, ToQString(title), ToQString(text), QMessageBox::Ok);
}

bool QtPrintDialog::Run(PrinterTarget& target, int& copies) {
  if (DialogsUnattended()) {
    const UnattendedPrintAnswer answer =
        ParseUnattendedPrintAnswer(qgetenv("CORVEL_PRINT_DIALOG").toStdString());
    if (answer.accept) copies = answer.copies;
    return answer.accept;
  }

  // Qt's dialog asks the print server for its printers with no time limit of its own (a
  // frozen server held it for minutes): the server is asked first, within our bound.
  if (ProbePrintServer() == PrintServerState::Silent)
    throw PrintError("the print server does not answer (" + NoAnswerText() +
                     "), so the print dialog cannot list its printers");
  QPrinter printer(QPrinter::HighResolution);
  if (target.kind == PrinterTarget::Kind::CupsQueue) {
    if (!target.queue.empty()) printer.setPrinterName(ToQString(target.queue));
  } else {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(ToQString(target.pdfFolder) + "/" +
                              ToQString(target.program.empty() ? "document" : target.program) +
                              ".pdf");
  }
  printer.setCopyCount(std::max(1, copies));
  QPrintDialog dialog(&printer);
  if (dialog.exec() != QDialog::Accepted) return false;

  if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty()) {
    target.kind = PrinterTarget::Kind::CupsQueue;
    target.queue = printer.printerName().toStdString();
    // A paper chosen under Properties is the page documents are laid out on and the
    // media requested. Left as Qt found it, the queue's own default media serves, as
    // read for every queue (Qt's reading of a driver's custom default size differs).
    const QPageSize chosen = printer.pageLayout().pageSize();
    if (!chosen.isEquivalentTo(QPrinterInfo(printer).defaultPageSize())) {
      const QSizeF paper = chosen.size(QPageSize::Millimeter);
      target.mediaWidthMm = paper.width();
      target.mediaHeightMm = paper.height();
    } else {
      target.mediaWidthMm = target.mediaHeightMm = 0;
    }
  } else {
    const QString file = printer.outputFileName();
    const QFileInfo info(file);
    if (file.isEmpty() || file.endsWith('/') || info.isDir()) return false;
    target.kind = PrinterTarget::Kind::PdfFolder;
    target.pdfFolder = info.absolutePath().toStdString();
    // The documents are named after the chosen file.
    target.pdfFile = info.absoluteFilePath().toStdString();
    target.fallback = false;
  }
  copies = std::max(1, printer.copyCount());
  return true;
}

}  // namespace corvel
