// corvel: the companion command. Runs the subcommand named by the first argument.
#include <QApplication>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "corvel_version.h"
#include "platform/printing.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {
struct Entry {
  const char* summary;
  const char* usage;
  SubcommandMain run;
};
std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: corvel SUBCOMMAND [ARGS...]\n"
               "       corvel SUBCOMMAND --help | corvel --help | corvel --version\n\n"
               "subcommands:\n");
  for (const auto& [name, entry] : Registry())
    std::fprintf(out, "  %-10s %s\n", name.c_str(), entry.summary);
}

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}
}  // namespace

bool RegisterSubcommand(const char* name, const char* summary, const char* usage,
                        SubcommandMain run) {
  Registry()[name] = Entry{summary, usage, run};
  return true;
}

}  // namespace corvel::tools

int main(int argc, char** argv) {
  using namespace corvel::tools;
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (IsHelp(first)) {
    PrintUsage(stdout);
    return 0;
  }
  if (first == "--version") {
    std::printf("corvel %s\n", CORVEL_VERSION);
    return 0;
  }
  const auto it = Registry().find(first);
  if (it == Registry().end()) {
    std::fprintf(stderr, "corvel: unknown subcommand '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  // Help wins over everything else on the line and is answered before the application
  // starts, so it touches no file and needs no display.
  for (const std::string& arg : args) {
    if (IsHelp(arg)) {
      std::fputs(it->second.usage, stdout);
      return 0;
    }
  }
  // Drawing needs a GUI application (fonts, PDF); no window is shown, so the offscreen
  // platform serves when no display is set.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  corvel::SetUpFonts();
  return it->second.run(args);
}
