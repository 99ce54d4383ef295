#pragma once
// Faults made on demand for the fault tests: a small file system that fills up or is
// read-only (a tmpfs; needs root, as CI runs), a file size limit for this process; and
// the memory of this process, a file's checksum, a station window to strike at.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "common/clock.h"
#include "station/station_window.h"
#include "tests/support/fake_messages.h"
#include "tests/support/recording_surface.h"

namespace corvel::test {

// The sanitizer build is unoptimised and instrumented, some ten times slower: load tests
// there run smaller sizes (memory errors show at any size).
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// A tmpfs of `kilobytes` mounted on `folder` for the lifetime of this object; Mounted()
// is false where mounting is not allowed (not root, a container without the right), and
// tests skip the case then. ReadOnly remounts it read-only.
class SmallFileSystem {
 public:
  SmallFileSystem(const QString& folder, int kilobytes) : folder_(folder.toStdString()) {
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    mounted_ =
        ::geteuid() == 0 && ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  bool ReadOnly() {
    return mounted_ &&
           ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  // Fills every free block of the file system `folder` is on with a file "filler".
  static void FillFolder(const QString& folder) {
    std::FILE* filler = std::fopen((folder + "/filler").toLocal8Bit().constData(), "wb");
    static const char block[4096] = {};
    while (filler && std::fwrite(block, 1, sizeof block, filler) == sizeof block) {
    }
    if (filler) std::fclose(filler);
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

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

// Peak resident memory of this process so far, in kilobytes.
inline long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Resident memory now, in kilobytes.
inline long RssKb() {
  std::ifstream status("/proc/self/statm");
  long pages = 0, resident = 0;
  status >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// `size` bytes of every value, the same for the same seed.
inline std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

inline QByteArray Sha256(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "unreadable";
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(&file);
  return hash.result().toHex();
}

// A shown, active station window on `folder`/pdlist that prints to a recording surface.
inline std::unique_ptr<StationWindow> OpenStation(SettingsStore& settings, MessageBoxes& messages,
                                                  const QString& folder) {
  static const FixedClock clock{MakeLocalTime(2026, 12, 6, 9)};
  auto window = std::make_unique<StationWindow>(StationServices{
      settings, messages, clock, PrinterTarget{},
      [] { return std::make_unique<RecordingSurface>(); }, (folder + "/pdlist").toStdString()});
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
