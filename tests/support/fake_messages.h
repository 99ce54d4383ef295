#pragma once
// Message boxes for tests: questions are answered as `answer` says (none: the default
// button) and recorded as "title|text|default"; messages are recorded.
#include <optional>
#include <string>
#include <vector>

#include "common/dialogs.h"

namespace corvel::test {

class FakeMessages : public MessageBoxes {
 public:
  std::optional<bool> answer;
  std::vector<std::string> questions, messages;

  bool AskYesNo(std::string_view text, std::string_view title, bool defaultYes) override {
    questions.push_back(std::string(title) + "|" + std::string(text) + "|" +
                        (defaultYes ? "Yes" : "No"));
    return answer.value_or(defaultYes);
  }
  void Inform(std::string_view text, std::string_view) override { messages.emplace_back(text); }
};

}  // namespace corvel::test
