#pragma once
// The two dialogs the programs show, behind small interfaces so domain code can be
// driven by tests. Qt implementations are in platform/; for unattended use they honour
// CORVEL_PRINT_DIALOG (accept, accept:N, cancel) and write messages to standard error.
#include <string>
#include <string_view>

#include "common/printer_target.h"

namespace corvel {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A Yes/No question; true for Yes. `defaultYes` chooses the default button.
  virtual bool AskYesNo(std::string_view text, std::string_view title, bool defaultYes) = 0;
  // A message with an OK button.
  virtual void Inform(std::string_view text, std::string_view title = {}) = 0;
};

class PrintDialog {
 public:
  virtual ~PrintDialog() = default;
  // Shows the system print dialog for `target`. On OK, `target` becomes the printer
  // chosen (queue or PDF) and `copies` the number of copies chosen; false on Cancel.
  virtual bool Run(PrinterTarget& target, int& copies) = 0;
};

}  // namespace corvel
