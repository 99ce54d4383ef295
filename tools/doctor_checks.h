#pragma once
// The checks of "corvel doctor", each printing one line per finding: OK, WARN (something
// a set-up does not use, or that prints but may not scan) or FAIL (printing will fail).
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/printer_target.h"
#include "common/settings_store.h"

namespace corvel::tools {

class DoctorReport {
 public:
  void Ok(const std::string& text) { Line("OK  ", text); }
  void Warn(const std::string& text) { Line("WARN", text); }
  void Fail(const std::string& text) {
    ++fails_;
    Line("FAIL", text);
  }
  int Fails() const { return fails_; }

 private:
  void Line(const char* level, const std::string& text) {
    std::printf("%s %s\n", level, text.c_str());
  }
  int fails_ = 0;
};

// What the checks share: the settings (an empty store when the file cannot be read),
// the section names found in the file, and the folder the station runs in.
struct DoctorSetUp {
  const SettingsStore& settings;
  std::vector<std::string> sections;
  std::string stationFolder;
  // The paper of each queue a program prints to, as the print check learnt it (printable
  // width and height in millimetres, and the dots per inch bars are drawn on), by the
  // station ("tarewise"), the runner ("sheetwise") or the runner's job key that names a
  // printer of its own ("PrinterNameSheet").
  struct Paper {
    double widthMm = 0, heightMm = 0, dpi = 0;
  };
  std::map<std::string, Paper> papers;
};

// The settings file: where it is, whether it reads, lines that are no INI, and numeric
// keys whose text reads as 0. Fills `sections`; false when the file cannot be read.
bool CheckSettingsFile(DoctorReport& report, const std::string& path,
                       std::vector<std::string>& sections, const SettingsStore& settings);
// Fonts, the locale.
void CheckFonts(DoctorReport& report);
void CheckLocale(DoctorReport& report);
// The print server, both programs' targets, and the calibration sections; fills
// `setUp.papers`.
void CheckPrinting(DoctorReport& report, DoctorSetUp& setUp);
// The station's serial device and product file; the runner's request folder.
void CheckScale(DoctorReport& report, const DoctorSetUp& setUp);
void CheckProductFile(DoctorReport& report, const DoctorSetUp& setUp);
void CheckRequestFolder(DoctorReport& report, const DoctorSetUp& setUp);
// Quiet zones of the station's label and of each built-in sheet type.
void CheckQuietZones(DoctorReport& report, const DoctorSetUp& setUp);

}  // namespace corvel::tools
