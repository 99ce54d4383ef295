// "corvel products": the product file to CSV and back, for the shop's spreadsheet or
// point-of-sale suite. An import checks every row first and replaces the product file
// whole (a new file beside it, every write checked, flushed, renamed) under the
// station's lock, or changes nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/regular_file.h"
#include "common/whole_file.h"
#include "station/product_csv.h"
#include "station/product_file.h"
#include "station/product_file_lock.h"
#include "tools/options/option_table.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

int Usage(const std::string& problem) {
  return UsageError(OptionTable{"products", UsageOf("products"), {}}, problem);
}

std::string ReadFileText(const std::string& path) {
  const FileDescriptor file = OpenRegularFile(path, O_RDONLY, IfMissing::Fail);
  if (!file.valid()) throw IoError("cannot read " + path + ": " + std::strerror(errno));
  const std::optional<std::string> text = ReadWhole(file);
  if (!text) throw IoError("cannot read " + path + ": " + std::strerror(errno));
  return *text;
}

int Export(const std::vector<std::string>& operands, const std::string& csvPath) {
  if (operands.size() > 1) return Usage("export takes at most one product file");
  const std::string pdlist = operands.empty() ? kProductFileName : operands[0];
  const std::string csv = ExportProductsCsv(ProductsOfFile(ReadFileText(pdlist)));
  if (csvPath.empty()) {
    if (std::fwrite(csv.data(), 1, csv.size(), stdout) != csv.size() || std::fflush(stdout) != 0)
      throw IoError("cannot write the CSV to standard output");
  } else {
    WriteWholeFile(csvPath, csv);
  }
  return 0;
}

int Import(const std::vector<std::string>& operands, bool dryRun) {
  if (operands.empty()) return Usage("import needs the CSV file");
  if (operands.size() > 2) return Usage("import takes a CSV file and at most one product file");
  const std::string csvPath = operands[0];
  const std::string pdlist = operands.size() > 1 ? operands[1] : kProductFileName;
  const std::string csv = ReadFileText(csvPath);

  // The station's lock, not waited for: a station working on the file keeps it for as
  // long as it runs. Taking it creates a missing file, which goes again unless products
  // are written into it.
  struct stat info {};
  const bool existed = ::lstat(pdlist.c_str(), &info) == 0;
  struct RemoveUnlessKept {
    const std::string& path;
    bool remove;
    ~RemoveUnlessKept() {
      if (remove) ::unlink(path.c_str());
    }
  } created{pdlist, false};
  FileDescriptor lock;
  try {
    lock = LockProductFile(pdlist, std::chrono::milliseconds(0));
  } catch (const Failure&) {
    throw Failure("a station is working on the product file " + pdlist +
                  "; close it and import again. Nothing was changed");
  }
  if (!lock.valid()) throw IoError("cannot open " + pdlist + ": " + std::strerror(errno));
  created.remove = !existed;
  const std::optional<std::string> old = ReadWhole(lock);
  if (!old) throw IoError("cannot read " + pdlist + ": " + std::strerror(errno));

  const ImportPlan plan = PlanProductImport(ProductsOfFile(*old), csv);
  if (!plan.problems.empty()) {
    for (const ImportProblem& problem : plan.problems)
      std::fprintf(stderr, "%s: %s\n", csvPath.c_str(), DescribeProblem(problem).c_str());
    throw Failure(std::to_string(plan.problems.size()) +
                  (plan.problems.size() == 1 ? " problem" : " problems") + " in " + csvPath +
                  "; nothing was changed");
  }
  for (const std::string& change : plan.changes)
    std::printf("%s\n", change.c_str());
  const std::string summary =
      std::to_string(plan.updated) + " updated, " + std::to_string(plan.added) + " added";
  if (dryRun) {
    std::printf("dry run: %s would be %s; nothing was changed\n", pdlist.c_str(), summary.c_str());
    return 0;
  }
  if (plan.writes.empty()) {
    std::printf("%s: no change\n", pdlist.c_str());
    return 0;
  }
  WholeFileWriter writer(pdlist);
  writer.Write(ApplyProductWrites(*old, plan.writes));
  writer.Commit();
  created.remove = false;
  std::printf("%s: %s\n", pdlist.c_str(), summary.c_str());
  return 0;
}

int RunProducts(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("say export or import");
  std::vector<std::string> operands;
  std::string csvPath;
  bool dryRun = false;
  OptionTable table{"products", UsageOf("products"), {}, [&](const std::string& operand) {
                      operands.push_back(operand);
                      return std::string();
                    }};
  if (args[0] == "export") table.options.push_back(Value("--csv", csvPath));
  if (args[0] == "import") table.options.push_back(Switch("--dry-run", dryRun));
  if (const std::string problem =
          ParseOptions(table, std::vector<std::string>(args.begin() + 1, args.end()));
      !problem.empty())
    return UsageError(table, problem);
  try {
    if (args[0] == "export") return Export(operands, csvPath);
    if (args[0] == "import") return Import(operands, dryRun);
    return Usage("unknown action '" + args[0] + "' (export or import)");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "corvel products: %s\n", error.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("products", &RunProducts);

}  // namespace
}  // namespace corvel::tools
