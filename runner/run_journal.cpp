#include "runner/run_journal.h"

#include <mutex>

#include "common/clock.h"
#include "common/settings_sections.h"
#include "journal/journal_settings.h"
#include "journal/journal_writer.h"
#include "runner/run_state.h"

namespace corvel {
namespace {

class CountingSurface : public PrintSurface {
 public:
  CountingSurface(std::shared_ptr<PrintSurface> real, RunCounts& counts)
      : real_(std::move(real)), counts_(counts) {}
  void SetFontName(std::string_view name) override { real_->SetFontName(name); }
  std::string FontName() const override { return real_->FontName(); }
  void SetFontSize(double points) override { real_->SetFontSize(points); }
  double FontSize() const override { return real_->FontSize(); }
  void SetBold(bool on) override { real_->SetBold(on); }
  bool Bold() const override { return real_->Bold(); }
  void SetItalic(bool on) override { real_->SetItalic(on); }
  void SetUnderline(bool on) override { real_->SetUnderline(on); }
  void SetStrikethrough(bool on) override { real_->SetStrikethrough(on); }
  void SetTextColor(std::int32_t colour) override { real_->SetTextColor(colour); }
  double CurrentX() const override { return real_->CurrentX(); }
  double CurrentY() const override { return real_->CurrentY(); }
  void SetCurrentX(double x) override { real_->SetCurrentX(x); }
  void SetCurrentY(double y) override { real_->SetCurrentY(y); }
  double TextWidth(std::string_view text) override { return real_->TextWidth(text); }
  double TextHeight(std::string_view text) override { return real_->TextHeight(text); }
  void Print(std::string_view text, bool lineEnd) override { real_->Print(text, lineEnd); }
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override {
    real_->FillRect(x1, y1, x2, y2, colour);
  }
  DotGrid Dots() const override { return real_->Dots(); }
  void NewPage() override { real_->NewPage(); }
  void EndDoc() override {
    const int pages = real_->Page();
    real_->EndDoc();
    ++counts_.documents;
    counts_.pages += pages > 0 ? pages : 1;
  }
  void AbortDoc() override { real_->AbortDoc(); }
  int Unsent(int waitMs) override { return real_->Unsent(waitMs); }
  double PageWidth() const override { return real_->PageWidth(); }
  double PageHeight() const override { return real_->PageHeight(); }
  int Page() const override { return real_->Page(); }
  int PaperBin() const override { return real_->PaperBin(); }
  void SetPaperBin(int bin) override { real_->SetPaperBin(bin); }
  void SetPaperSize(int code) override { real_->SetPaperSize(code); }
  void SetOrientation(int orientation) override { real_->SetOrientation(orientation); }

 private:
  std::shared_ptr<PrintSurface> real_;
  RunCounts& counts_;
};

}  // namespace

SurfaceFactory CountingSurfaces(SurfaceFactory make, RunCounts& counts) {
  return [make = std::move(make), &counts](const PrinterTarget& target) {
    counts.printer = target.Describe();
    return std::make_shared<CountingSurface>(make(target), counts);
  };
}

std::string JournalRun(const SettingsStore& settings, const RunCounts& counts,
                       const RunOutcome& outcome) {
  RunEntry entry;
  const SystemClock clock;
  entry.time = JournalTime(clock.Now());
  entry.station = HostName();
  // Settings that cannot be read (the run has said so) leave the default journal.
  std::string path = JournalPath(""), firstKept;
  try {
    entry.kind = settings.GetOr(kRunnerSection, "Barcodetype", "");
    path = ConfiguredJournalPath(settings);
    firstKept = ConfiguredFirstKeptDay(settings, clock.Now());
  } catch (const std::exception&) {
  }
  entry.labels = counts.documents;
  entry.pages = counts.pages;
  entry.printer = counts.printer;
  entry.outcome = outcome.exitCode == kExitPrinted     ? "printed"
                  : outcome.exitCode == kExitCancelled ? "cancelled"
                                                       : "failed";
  entry.reason = outcome.reason;
  std::string told;
  std::mutex mutex;
  {
    JournalWriter journal(path, firstKept, [&](const std::string& problem) {
      const std::lock_guard lock(mutex);
      told = problem;
    });
    journal.Run(std::move(entry));
    if (!journal.Flush(kJournalBusyWait + kJournalCloseWait))
      return "the journal was not written within its bound";
  }
  const std::lock_guard lock(mutex);
  return told;
}

}  // namespace corvel
