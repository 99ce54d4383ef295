#include "runner/dispatch.h"

#include <charconv>
#include <cstdio>
#include <system_error>
#include <utility>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/page_size.h"
#include "common/printer_calibration.h"
#include "common/text.h"
#include "platform/printing.h"
#include "runner/job_table.h"
#include "runner/jobs.h"

namespace corvel {
namespace {
constexpr std::string_view kProgram = "sheetwise";

bool ReadBoolSetting(const SettingsStore& settings, std::string_view section, std::string_view key,
                     bool fallback) {
  const std::optional<std::string> text = settings.Get(section, key);
  if (!text) return fallback;
  const std::optional<bool> value = ParseBoolText(*text);
  if (!value) throw Failure(SettingText(section, key, *text) + " is neither True nor False");
  return *value;
}

// Shows the print dialog. Cancel ends the run; the chosen copies become the run's
// copies, made by the jobs themselves (the printer makes one of each document, so a
// roll label is not multiplied twice and list pages ignore copies as they should).
std::int16_t ConfirmPrinter(RunnerServices& services, PrinterTarget& target) {
  int copies = 1;
  const PrinterTarget asked = target;
  if (!services.dialog.Run(target, copies))
    throw EndRun{kExitCancelled, "cancelled in the print dialog"};
  // A printer chosen in the dialog has its own calibration. Values that are not numbers
  // are told once, on standard error; the rest still applies.
  if (target.kind != asked.kind || target.queue != asked.queue)
    target.calibration = ReadCalibration(services.settings, target);
  static bool told = false;
  if (!target.calibration.problem.empty() && !std::exchange(told, true))
    std::fprintf(stderr, "%s: %s\n", kProgram.data(), target.calibration.problem.c_str());
  target.copies = 1;
  if (copies < 1) throw Failure("the print dialog chose " + std::to_string(copies) + " copies");
  return ToInt16(copies);
}

struct Session {
  RunnerServices& services;
  std::shared_ptr<PrintSurface> surface;
  bool armed = false;  // the run-wide failure rule: from the print dialog on
};

void Abandon(Session& session) {
  if (!session.surface) return;
  try {
    session.surface->AbortDoc();
  } catch (const std::exception&) {
    // Nothing more can be done for a document the printer will not take back.
  }
}

RunContext MakeContext(Session& session, const PrinterTarget& target) {
  session.surface = session.services.makeSurface(target);
  if (!session.surface) throw PrintError("no print surface for " + target.Describe());
  return RunContext{session.services.settings, *session.surface, session.services.messages, {}, {}};
}

RunOutcome ShelfRequest(Session& session, const std::string& selector) {
  SettingsStore& settings = session.services.settings;
  const bool display = ReadBoolSetting(settings, kPrinterSection, "Display", false);
  RunState state;
  state.ShelfPaperSize = static_cast<std::int16_t>(JobFor(selector).paper);
  state.ShelfLayoutCode = FixedText(FirstChars(selector, 2), 2);
  PrinterTarget target = TargetFor(settings, selector);
  state.Copies = 1;
  if (display) {
    session.armed = true;
    state.Copies = ConfirmPrinter(session.services, target);
  }
  RunContext run = MakeContext(session, target);
  run.state = state;
  run.surface.SetPaperSize(state.ShelfPaperSize);
  // Every copy runs even when an earlier one failed; the first failure becomes the
  // run's outcome after the last copy.
  RunOutcome outcome{kExitPrinted, ""};
  int failedCopies = 0;
  for (int copy = 1; copy <= state.Copies; ++copy) {
    // Only the one character after the "S" is read: "S12" is layout 1.
    const char digit = selector.size() > 1 ? selector[1] : ' ';
    run.state.ShelfLayoutNumber =
        static_cast<std::int16_t>(digit >= '0' && digit <= '9' ? digit - '0' : 0);
    RunOutcome failed;
    try {
      session.services.jobs.shelfCards(run);
      continue;
    } catch (const EndRun& end) {
      failed = {end.exitCode, end.reason};
    } catch (const Failure& failure) {
      failed = {kExitFailed, failure.what()};
    }
    Abandon(session);
    // A request with no card is the same for every copy: said once.
    if (failed.exitCode == kExitNothingToPrint) return failed;
    if (failedCopies++ > 0) continue;
    outcome = failed;
    if (state.Copies > 1)
      outcome.reason = "copy " + std::to_string(copy) + " of " + std::to_string(state.Copies) +
                       ": " + outcome.reason;
  }
  if (failedCopies > 1) outcome.reason += " (" + std::to_string(failedCopies) + " copies failed)";
  return outcome;
}

RunOutcome BarcodeRequest(Session& session, const std::string& selector) {
  PrinterTarget target = TargetFor(session.services.settings, selector);
  session.armed = true;
  const std::int16_t copies = ConfirmPrinter(session.services, target);
  const JobKind kind = JobFor(selector).kind;
  std::optional<std::int16_t> sheetType;
  if (kind == JobKind::Sheet) {
    try {
      sheetType = ReadSheetType(selector);
    } catch (const OverflowError&) {
      throw Failure("Barcodetype " + Quoted(selector) +
                    " is a sheet type outside -32768 to 32767; no sheet has it");
    }
    if (!sheetType) throw Failure("Barcodetype " + Quoted(selector) + " names no print job");
  }
  RunContext run = MakeContext(session, target);
  run.state.Copies = copies;
  const RunnerJobs& jobs = session.services.jobs;
  switch (kind) {
    case JobKind::RollLabels:
      jobs.rollLabels(run);
      break;
    case JobKind::TenPerPage:
      jobs.pages(run, 10);
      break;
    case JobKind::TwentyPerPage:
      jobs.pages(run, 20);
      break;
    case JobKind::Sheet:
    case JobKind::ShelfCards:  // not reached: shelf selectors go to ShelfRequest
      run.state.SheetType = *sheetType;
      jobs.sheets(run, *sheetType);
      break;
  }
  return {kExitPrinted, ""};
}

}  // namespace

RunnerJobs RealJobs() {
  return {RollLabelJob, PageJob, SheetJob, PrintShelfCards};
}

RunOutcome RunSheetwise(RunnerServices& services) {
  Session session{services, nullptr};
  try {
    const std::string selector = services.settings.GetOr(kRunnerSection, "Barcodetype", " ");
    if (JobFor(selector).kind == JobKind::ShelfCards) return ShelfRequest(session, selector);
    return BarcodeRequest(session, selector);
  } catch (const EndRun& end) {
    Abandon(session);
    return {end.exitCode, end.reason};
  } catch (const std::exception& failure) {
    // With or without the run-wide rule armed (a shelf run without the dialog), an
    // unhandled failure ends the run: the document in progress is never sent half-drawn.
    Abandon(session);
    return {kExitFailed, failure.what()};
  }
}

PrinterTarget TargetFor(const SettingsStore& settings, std::string_view selector) {
  const JobSpec& job = JobFor(selector);
  PrinterTarget target = ChoosePrinterTarget(settings, kPrinterSection, kProgram, job.pageWidthMm,
                                             job.pageHeightMm, job.printerKey);
  if (const auto text = settings.Get(kPrinterSection, job.pageKey)) {
    const auto size = ParsePageSizeMm(*text);
    if (!size)
      throw Failure(SettingText(kPrinterSection, job.pageKey, *text) +
                    " is not WIDTHxHEIGHT in millimetres");
    target.pageWidthMm = size->first;
    target.pageHeightMm = size->second;
  }
  return target;
}

std::optional<std::int16_t> ReadSheetType(std::string_view selector) {
  std::string_view number = TrimBlanks(selector);
  // Sign, digits with at most one period (at least one digit), optional exponent.
  std::size_t at = 0;
  if (at < number.size() && (number[at] == '+' || number[at] == '-')) ++at;
  const std::size_t mantissa = at;
  while (at < number.size() && IsDigit(number[at]))
    ++at;
  if (at < number.size() && number[at] == '.') ++at;
  while (at < number.size() && IsDigit(number[at]))
    ++at;
  if (number.substr(mantissa, at - mantissa).find_first_of("0123456789") == std::string_view::npos)
    return std::nullopt;
  if (at < number.size() && (number[at] == 'e' || number[at] == 'E')) {
    ++at;
    if (at < number.size() && (number[at] == '+' || number[at] == '-')) ++at;
    const std::size_t digits = at;
    while (at < number.size() && IsDigit(number[at]))
      ++at;
    if (at == digits) return std::nullopt;
  }
  if (at != number.size()) return std::nullopt;
  // std::from_chars takes no '+' and ignores the locale.
  if (number.front() == '+') number.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too small for a double (1e-400) reads as 0; too large does not fit.
    if (number.find("e-") == std::string_view::npos && number.find("E-") == std::string_view::npos)
      throw OverflowError("value does not fit 16 bits");
    value = 0;
  } else if (end != number.data() + number.size()) {
    return std::nullopt;
  }
  return ToInt16(value);
}

}  // namespace corvel
