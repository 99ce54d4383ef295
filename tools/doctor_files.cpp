// The checks of "corvel doctor" on files: the settings file, the product file, the
// runner's request folder, and the locale. (The scale: doctor_scale.cpp.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QList>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "common/file_descriptor.h"
#include "common/number_text.h"
#include "common/regular_file.h"
#include "common/settings_sections.h"
#include "common/text.h"
#include "runner/request_files.h"
#include "station/label_layout.h"
#include "station/product_record.h"
#include "station/station_setup.h"
#include "tools/doctor_checks.h"

namespace corvel::tools {
namespace {

// True for text that is a written zero ("0", "-0.0"), which reads as 0 on purpose.
bool IsWrittenZero(const std::string& text) {
  const auto digit = text.find_first_of("123456789");
  return digit == std::string::npos && text.find('0') != std::string::npos &&
         text.find_first_not_of(" +-.0") == std::string::npos;
}

// The size of a file, or -1 when it is missing or no regular file.
long long FileSize(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<long long>(info.st_size);
}

// "N records" and, when the length is no whole number of records, the stray bytes.
void CountRecords(DoctorReport& report, const std::string& what, long long size,
                  std::size_t length) {
  const long long records = size / static_cast<long long>(length);
  const long long stray = size % static_cast<long long>(length);
  const std::string counted =
      what + ": " + std::to_string(records) + " records of " + std::to_string(length) + " bytes";
  if (stray == 0)
    report.Ok(counted);
  else
    report.Warn(counted + " and a partial record of " + std::to_string(stray) +
                " bytes at the end (odd length)");
}

}  // namespace

bool CheckSettingsFile(DoctorReport& report, const std::string& path,
                       std::vector<std::string>& sections, const SettingsStore& settings) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 && errno == ENOENT) {
    report.Warn("settings file " + path + " does not exist: every program runs on defaults");
    return true;
  }
  // Read without blocking: a named pipe (or anything else that is not a regular file) in
  // the file's place is reported, not waited on.
  std::string problem;
  std::string text;
  try {
    const FileDescriptor file = OpenRegularFile(path, O_RDONLY, IfMissing::Fail);
    std::optional<std::string> bytes;
    if (file.valid()) bytes = ReadWhole(file);
    if (bytes)
      text = std::move(*bytes);
    else
      problem = std::strerror(errno);
  } catch (const std::exception& refused) {
    problem = refused.what();
  }
  if (!problem.empty()) {
    report.Fail("settings file " + path + " cannot be read: " + problem);
    return false;
  }
  report.Ok("settings file " + path);
  int lineNumber = 0;
  for (QByteArray line : QByteArray::fromStdString(text).split('\n')) {
    ++lineNumber;
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#') || line.contains('='))
      continue;
    if (line.startsWith('[') && line.endsWith(']')) {
      sections.push_back(line.mid(1, line.size() - 2).toStdString());
      continue;
    }
    report.Warn("settings file line " + std::to_string(lineNumber) +
                " is neither a section, a key nor a comment: " + Quoted(line.toStdString()));
  }
  // Numbers the station reads from text: a word where a number belongs reads as 0.
  std::vector<std::string> numeric = LabelLayoutKeys();
  numeric.emplace_back(kPortKey.key);
  for (const std::string& key : numeric) {
    const auto text = settings.Get(kStationSection, key);
    if (!text || text->empty() || IsWrittenZero(*text)) continue;
    try {
      if (ReadLeadingNumber(*text) != 0) continue;
    } catch (const std::exception&) {
      report.Warn(SettingText(kStationSection, key, *text) + " is beyond any number");
      continue;
    }
    report.Warn(SettingText(kStationSection, key, *text) + " reads as 0");
  }
  return true;
}

void CheckProductFile(DoctorReport& report, const DoctorSetUp& setUp) {
  const std::string path = setUp.stationFolder + "/pdlist";
  const long long size = FileSize(path);
  if (size < 0)
    report.Warn("product file " + path + " does not exist (the station starts with no products)");
  else
    CountRecords(report, "product file " + path, size, kProductRecordLength);
}

void CheckRequestFolder(DoctorReport& report, const DoctorSetUp& setUp) {
  const std::string folder = setUp.settings.GetOr(kRunnerSection, "Path", "");
  if (folder.empty()) {
    report.Warn("[Quorrel] Path is not set: the print runner has no request folder");
    return;
  }
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    report.Fail("request folder " + folder + " ([Quorrel] Path) does not exist");
    return;
  }
  if (access(folder.c_str(), R_OK | W_OK | X_OK) != 0) {
    report.Fail("request folder " + folder + " cannot be written: " + std::strerror(errno));
    return;
  }
  report.Ok("request folder " + folder);
  const std::pair<std::string_view, std::size_t> files[] = {
      {kBarcodeRequestName, BarcodeRequestRecord::kLength},
      {kShelfRequestName, ShelfRecord::kLength}};
  for (const auto& [name, length] : files) {
    const std::string path = folder + std::string(name);
    const long long size = FileSize(path);
    if (size < 0)
      report.Ok("request file " + path + ": none waiting");
    else
      CountRecords(report, "request file " + path, size, length);
  }
}

void CheckLocale(DoctorReport& report) {
  const char* wanted = nullptr;
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    if (const char* value = std::getenv(name); value && *value) {
      wanted = value;
      break;
    }
  }
  const char* current = std::setlocale(LC_NUMERIC, nullptr);
  const std::string in = current ? current : "C";
  const std::string point = std::localeconv()->decimal_point;
  if (wanted && in == "C" && std::string(wanted) != "C" && std::string(wanted) != "POSIX") {
    report.Warn(std::string("locale ") + wanted + " is not installed: the C locale stands in");
    return;
  }
  report.Ok("locale " + in + " (decimal " + (point == "," ? "comma" : "point") +
            "; numbers are read and written with a period whatever it is)");
}

}  // namespace corvel::tools
