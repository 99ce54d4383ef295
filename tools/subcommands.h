#pragma once
// The companion command's subcommands register themselves here, one source file each:
//   static const bool registered = corvel::tools::RegisterSubcommand(
//       "barcode", "inspect and draw barcode symbols", kUsage, &RunBarcode);
// "corvel SUBCOMMAND --help" prints the usage text without running the subcommand.
#include <string>
#include <vector>

namespace corvel::tools {

using SubcommandMain = int (*)(const std::vector<std::string>& args);

bool RegisterSubcommand(const char* name, const char* summary, const char* usage,
                        SubcommandMain run);

}  // namespace corvel::tools
