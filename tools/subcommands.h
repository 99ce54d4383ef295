#pragma once
// The companion command's subcommands register themselves here, one source file each:
//   static const bool registered = corvel::tools::RegisterSubcommand("barcode", &RunBarcode);
// Summaries and usage texts come from tools/corvel.help (with the manual page);
// "corvel SUBCOMMAND --help" prints the usage text without running the subcommand.
#include <string>
#include <vector>

namespace corvel::tools {

using SubcommandMain = int (*)(const std::vector<std::string>& args);

bool RegisterSubcommand(const char* name, SubcommandMain run);

// The usage text of subcommand `name` from the help source (empty for an unknown name).
const char* UsageOf(const char* name);

}  // namespace corvel::tools
