// Reading the request files into memory, as every job does before it prints.
#include <sys/stat.h>

#include <string>

#include "common/errors.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "runner/request_reader.h"

namespace corvel {

// Every job checks "Path" before it opens anything: with an empty setting the request
// names would be "/Barprint" and "/ShelfPrint" at the root of the file system.
std::string DataFolder(const RunContext& run) {
  std::string folder = run.settings.GetOr(kRunnerSection, "Path", "");
  if (folder.empty())
    throw EndRun{kExitNothingToPrint,
                 "nothing to print: setting " + std::string(kRunnerSection) + "/Path is empty"};
  // The settings store holds text; a suite in the single-byte code page names its
  // folder in those bytes ("caf\xE9"), which the store reads as "café". When only the
  // folder in the suite's bytes exists, that is the one meant.
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) {
    const std::string suiteBytes = Utf8ToCp1252(folder);
    if (suiteBytes != folder && ::stat(suiteBytes.c_str(), &info) == 0) return suiteBytes;
  }
  return folder;
}

namespace {
// Why a request file holds nothing to print: empty, or shorter than one record.
EndRun NothingIn(const RequestFileReader& file) {
  if (file.Length() == 0)
    return {kExitNothingToPrint, "nothing to print: " + file.Path() + " is empty"};
  return {kExitNothingToPrint, "nothing to print: " + file.Path() + " holds " +
                                   std::to_string(file.Length()) + " bytes, less than one record"};
}

std::string TooMany(const RequestFileReader& file, int limit) {
  return "request file " + file.Path() + " holds " + std::to_string(file.WholeRecords()) +
         " records; at most " + std::to_string(limit) + " can be printed";
}
}  // namespace

BarcodeRequests LoadBarcodeRequests(RunContext& run) {
  return LoadBarcodeRequests(run, kMaxBarcodeRequests);
}

BarcodeRequests LoadBarcodeRequests(RunContext& run, int limit) {
  const RequestFileReader file(DataFolder(run) + std::string(kBarcodeRequestName),
                               BarcodeRequestRecord::kLength);
  BarcodeRequests requests;
  requests.count = file.Count();
  if (file.Length() == 0) throw NothingIn(file);
  // Checked before reading, so a huge file costs nothing: the table has room for
  // `limit` records and a request beyond it fails before anything is printed.
  if (file.WholeRecords() > static_cast<std::uint64_t>(limit)) throw Failure(TooMany(file, limit));
  requests.records.resize(file.WholeRecords());
  for (std::uint64_t i = 1; i <= file.WholeRecords(); ++i)
    requests.records[i - 1].bytes = file.Read(i);
  if (requests.count < 1) throw NothingIn(file);
  return requests;
}

std::vector<ShelfRecord> LoadShelfRecords(RunContext& run, int limit) {
  const RequestFileReader file(DataFolder(run) + std::string(kShelfRequestName),
                               ShelfRecord::kLength);
  if (file.WholeRecords() < 1) throw NothingIn(file);
  if (file.WholeRecords() > static_cast<std::uint64_t>(limit)) throw Failure(TooMany(file, limit));
  std::vector<ShelfRecord> records(file.WholeRecords());
  for (std::uint64_t i = 1; i <= file.WholeRecords(); ++i)
    records[i - 1].bytes = file.Read(i);
  return records;
}

RollRequests LoadRollRequests(RunContext& run) {
  // The shelf file is opened first (and created when missing), then the barcode file.
  const RequestFileReader shelf(DataFolder(run) + std::string(kShelfRequestName),
                                ShelfRecord::kLength);
  RollRequests result;
  result.requests = LoadBarcodeRequests(run, kMaxRollLabelRequests);
  // Shelf record i beside barcode record i; a shelf file shorter than the barcode
  // request gives blank lines.
  result.shelf.reserve(result.requests.records.size());
  for (std::uint64_t i = 1; i <= result.requests.records.size(); ++i) {
    if (i <= shelf.WholeRecords()) {
      ShelfRecord record;
      record.bytes = shelf.Read(i);
      result.shelf.push_back(std::move(record));
    } else {
      result.shelf.push_back(BlankShelfRecord());
    }
  }
  return result;
}

}  // namespace corvel
