// corvel: the companion command. Runs the subcommand named by the first argument.
#include <QApplication>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "corvel_help.h"
#include "corvel_version.h"
#include "platform/printing.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {
std::map<std::string, SubcommandMain>& Registry() {
  static std::map<std::string, SubcommandMain> registry;
  return registry;
}

void PrintUsage(std::FILE* out) {
  std::fputs(corvel::help::kHelp, out);
}

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}
}  // namespace

bool RegisterSubcommand(const char* name, SubcommandMain run) {
  Registry()[name] = run;
  return true;
}

const char* UsageOf(const char* name) {
  for (const auto* usage = corvel::help::kUsages; usage->name; ++usage)
    if (std::string_view(usage->name) == name) return usage->text;
  return "";
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
      std::fputs(UsageOf(first.c_str()), stdout);
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
  return it->second(args);
}
