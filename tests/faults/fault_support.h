#pragma once
// Faults made on demand for the fault tests: a file size limit for this process and junk
// bytes; and a file's checksum, a station window to strike at.
#include <signal.h>
#include <sys/resource.h>

#include <QApplication>
#include <QFile>
#include <QTest>
#include <memory>
#include <random>
#include <string>

#include "common/clock.h"
#include "platform/printing.h"
#include "station/station_window.h"
#include "tests/support/fake_messages.h"
#include "tests/support/recording_surface.h"

namespace corvel::test {

// The sanitizer build is some ten times slower: load tests there run smaller sizes.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// Files this process writes may not grow beyond `bytes` while this object lives; a
// write past it fails with EFBIG instead of killing the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  sighandler_t previous_ = SIG_DFL;
};

// `size` bytes of every value, the same for the same seed.
inline std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

// A shown, active station window on `folder`/pdlist on 6 December 2026. Its labels go as
// 60 x 40 mm PDF documents into `pdfFolder`, or to a recording surface without one; `dpi`
// is the calibration's printer resolution (0: none set).
inline std::unique_ptr<StationWindow> OpenStation(SettingsStore& settings, MessageBoxes& messages,
                                                  const QString& folder,
                                                  const QString& pdfFolder = {}, double dpi = 0) {
  static const FixedClock clock{MakeLocalTime(2026, 12, 6, 9)};
  PrinterTarget target;
  target.pdfFolder = pdfFolder.toStdString();
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  target.calibration.dpi = dpi;
  const auto surface = [target]() -> std::unique_ptr<PrintSurface> {
    if (target.pdfFolder.empty()) return std::make_unique<RecordingSurface>();
    return MakePrintSurface(target);
  };
  auto window = std::make_unique<StationWindow>(StationServices{
      settings, messages, clock, target, surface, (folder + "/pdlist").toStdString()});
  window->show();
  QApplication::setActiveWindow(window.get());
  EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
  return window;
}

// Types `text` over a box's text and leaves it, as the operator does.
inline void TypeAndLeave(QLineEdit* box, const QString& text) {
  box->setFocus(Qt::MouseFocusReason);
  box->selectAll();
  QTest::keyClicks(box, text);
  QTest::keyClick(box, Qt::Key_Tab);
}

}  // namespace corvel::test
