#pragma once
// The message box and print dialog on Qt widgets. When CORVEL_PRINT_DIALOG is set
// (unattended use: a print server, the demo, black-box tests) nothing is shown:
//   - the print dialog is answered by the variable: "accept" (1 copy), "accept:N"
//     (N copies) or "cancel"; any other value is answered as Cancel here, and a
//     program refuses it first with UnattendedAnswerProblem;
//   - message boxes write "title: text" to standard error; AskYesNo answers with its
//     default button, or as CORVEL_MESSAGE_ANSWER says ("yes" or "no").
#include <optional>
#include <string>
#include <string_view>

#include "common/dialogs.h"

namespace corvel {

// How an unattended print dialog is answered: nothing for Cancel, else the copies.
struct UnattendedPrintAnswer {
  bool accept = false;
  int copies = 1;
  // False for a value that is none of the three forms: it is answered as Cancel, and a
  // program should refuse it before the dialog is due (UnattendedAnswerProblem).
  bool understood = true;
};

// Reads a CORVEL_PRINT_DIALOG value. Copies are limited to 1..9999.
UnattendedPrintAnswer ParseUnattendedPrintAnswer(std::string_view value);

// One line saying what is wrong with the CORVEL_PRINT_DIALOG value in the environment;
// empty when it is unset, empty or understood.
std::string UnattendedAnswerProblem();

// True when dialogs are answered without being shown.
bool DialogsUnattended();

class QtMessageBoxes : public MessageBoxes {
 public:
  bool AskYesNo(std::string_view text, std::string_view title, bool defaultYes) override;
  void Inform(std::string_view text, std::string_view title = {}) override;
};

class QtPrintDialog : public PrintDialog {
 public:
  // The target's queue is preselected. A chosen queue comes back with the paper chosen
  // under Properties as its media. Chosen PDF output becomes a PDF folder target whose
  // documents are named after the chosen file (the first gets the name, later ones
  // "-2", "-3" ... before its extension); a folder given as the output file is refused
  // (reported as Cancel). The target's own copies are left as they are: the caller
  // makes the copies it is given.
  bool Run(PrinterTarget& target, int& copies) override;
};

}  // namespace corvel
