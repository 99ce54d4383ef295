#pragma once
// Message boxes for tests: questions are answered as `answerYes` says and recorded as
// "title|text|default"; messages are recorded.
#include <string>
#include <vector>

#include "common/dialogs.h"

namespace corvel::test {

class FakeMessages : public MessageBoxes {
 public:
  bool answerYes = false;
  std::vector<std::string> questions, messages;

  bool AskYesNo(std::string_view text, std::string_view title, bool defaultYes) override {
    questions.push_back(std::string(title) + "|" + std::string(text) + "|" +
                        (defaultYes ? "Yes" : "No"));
    return answerYes;
  }
  void Inform(std::string_view text, std::string_view) override { messages.emplace_back(text); }
};

}  // namespace corvel::test
