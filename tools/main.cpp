// corvel: the companion command. Runs the subcommand named by the first argument.
#include <QApplication>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/printing.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {
struct Entry {
  const char* summary;
  SubcommandMain run;
};
std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

void PrintUsage() {
  std::fprintf(stderr, "usage: corvel SUBCOMMAND [ARGS...]\n\nsubcommands:\n");
  for (const auto& [name, entry] : Registry())
    std::fprintf(stderr, "  %-10s %s\n", name.c_str(), entry.summary);
}
}  // namespace

bool RegisterSubcommand(const char* name, const char* summary, SubcommandMain run) {
  Registry()[name] = Entry{summary, run};
  return true;
}

}  // namespace corvel::tools

int main(int argc, char** argv) {
  using namespace corvel::tools;
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    PrintUsage();
    return argc < 2 ? 2 : 0;
  }
  const auto it = Registry().find(argv[1]);
  if (it == Registry().end()) {
    std::fprintf(stderr, "corvel: unknown subcommand '%s'\n", argv[1]);
    PrintUsage();
    return 2;
  }
  // Drawing needs a GUI application (fonts, PDF); no window is shown, so the offscreen
  // platform serves when no display is set.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  corvel::SetUpFonts();
  const std::vector<std::string> args(argv + 2, argv + argc);
  return it->second.run(args);
}
