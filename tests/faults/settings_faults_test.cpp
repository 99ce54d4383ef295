// The settings store on files other programs damaged or made huge, on missing and
// read-only folders, behind a lock held for long, and under two busy writers: reads give
// the stored text or the default, writes change only their own line or fail saying why,
// and no write is lost.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "tests/faults/fault_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string NewIni(const std::string& bytes) {
  const std::string path = test::MakeTempFolder().toStdString() + "/Corvel.ini";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// The file without its first line holding `line`.
std::string WithoutLine(std::string text, const std::string& line) {
  const std::size_t at = text.find(line);
  if (at != std::string::npos) text.erase(at, text.find('\n', at) + 1 - at);
  return text;
}

TEST(SettingsFaults, DamagedAndHugeFilesReadAndWriteOnlyTheirLine) {
  const std::string junk = test::RandomBytes(64 * 1024, 7);
  std::string huge = "[Other]\n";
  const std::size_t hugeSize = test::kSanitized ? 2'000'000 : 50'000'000;
  for (int i = 0; huge.size() < hugeSize; ++i)
    huge += "Key" + std::to_string(i) + "=some value of a line " + std::to_string(i) + "\n";
  const struct {
    const char* file;
    std::string bytes;  // "Storename1" reads "Shop"
  } rows[] = {
      {"binary junk", junk + "\n[Zebra]\nStorename1=Shop\n"},
      {"50 MB (2 MB under the sanitizers)", huge + "[Zebra]\nStorename1=Shop\n"},
      {"lines without =", "[Zebra]\nStorename1\nStorename1 Shop\n\x01\x02\nStorename1=Shop\n"},
      {"duplicate keys", "[Zebra]\nStorename1=Shop\nStorename1=Two\n[Zebra]\nStorename1=Three\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string path = NewIni(row.bytes);
    IniSettingsStore store(path);
    EXPECT_EQ(store.Get("Zebra", "Storename1"), "Shop");
    store.Save("Zebra", "COMPORT", "7");
    store.Save("Zebra", "Storename1", "New");
    EXPECT_EQ(store.Get("Zebra", "COMPORT"), "7");
    // The value of the key read changed, a new line for the new key, nothing else.
    std::string expected = row.bytes;
    expected.replace(expected.find("Storename1=Shop"), 15, "Storename1=New");
    EXPECT_TRUE(WithoutLine(ReadText(path), "COMPORT=7\n") == expected) << "another line changed";
  }
}

// A missing folder is made on the first save (tests/common/settings_store_test.cpp); a
// read-only one keeps reading and refuses the save naming the file and the cause.
TEST(SettingsFaults, ReadOnlyFolderReadsAndRefusesSaves) {
  const QString folder = test::MakeTempFolder();
  test::SmallFileSystem readOnly(folder, 64);
  if (!readOnly.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  IniSettingsStore kept((folder + "/Corvel.ini").toStdString());
  kept.Save("Zebra", "Storename1", "Shop");
  ASSERT_TRUE(readOnly.ReadOnly());
  EXPECT_EQ(kept.Get("Zebra", "Storename1"), "Shop");
  std::string message;
  try {
    kept.Save("Zebra", "Storename1", "Other");
  } catch (const IoError& error) {
    message = error.what();
  }
  EXPECT_NE(message.find(kept.Path()), std::string::npos) << message;
  EXPECT_NE(message.find(std::strerror(EROFS)), std::string::npos) << message;
  EXPECT_EQ(ReadText(kept.Path()), "[Zebra]\nStorename1=Shop\n");
}

// Another program holding the lock for longer than a writer waits: the station's save
// ends after the bounded wait with a message in the window, and the window goes on.
TEST(SettingsFaults, LockHeldForLongFailsTheSaveInTheWindowAfterABoundedWait) {
  const std::string path = NewIni("[Zebra]\nStorename1=Shop\n");
  const int holder = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  IniSettingsStore settings(path);
  test::FakeMessages messages;
  const auto window = test::OpenStation(settings, messages, test::MakeTempFolder());
  QElapsedTimer took;
  took.start();
  test::TypeAndLeave(window->Text5, "Corner Shop");
  const qint64 waited = took.elapsed();
  EXPECT_GE(waited, IniSettingsStore::kLockWait.count());
  EXPECT_LT(waited, IniSettingsStore::kLockWait.count() + 2000);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("another program holds its lock file"), std::string::npos)
      << messages.messages[0];
  EXPECT_EQ(ReadText(path), "[Zebra]\nStorename1=Shop\n");
  ::close(holder);
  test::TypeAndLeave(window->Text5, "Corner Shop");
  EXPECT_EQ(settings.Get("Zebra", "Storename1"), "Corner Shop");
}

// Runs `work` in a child process, which exits 0 when it ends without an exception.
template <typename Work>
pid_t InChild(Work work) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  int status = 0;
  try {
    work();
  } catch (...) {
    status = 1;
  }
  ::_exit(status);
}

TEST(SettingsFaults, TwoProcessesWritingAThousandKeysEachLoseNone) {
  // On a tmpfs where possible: each save waits for the disk twice.
  const QString folder = test::MakeTempFolder();
  const test::SmallFileSystem memory(folder, 4096);
  const std::string path = folder.toStdString() + "/Corvel.ini";
  std::ofstream(path, std::ios::binary) << "; shared by two writers\n[Zebra]\nStorename1=Shop\n";
  constexpr int kKeys = 1000;
  std::vector<pid_t> writers;
  for (const char name : {'a', 'b'})
    writers.push_back(InChild([&path, name] {
      IniSettingsStore store(path);
      for (int i = 0; i < kKeys; ++i)
        store.Save("Zebra", name + std::to_string(i), std::to_string(i));
    }));
  for (const pid_t pid : writers) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  IniSettingsStore store(path);
  EXPECT_EQ(store.Keys("Zebra").size(), 2u * kKeys + 1);
  for (const char name : {'a', 'b'})
    for (int i = 0; i < kKeys; ++i)
      ASSERT_EQ(store.Get("Zebra", name + std::to_string(i)), std::to_string(i)) << name << i;
  EXPECT_EQ(store.Get("Zebra", "Storename1"), "Shop");
}

// A writer that saves without pause holds the lock nearly all the time: another one
// must still get it at its next release, not fail after the bounded wait.
TEST(SettingsFaults, ABusyWriterDoesNotStarveAnother) {
  const QString folder = test::MakeTempFolder();
  const test::SmallFileSystem memory(folder, 65536);
  const std::string path = folder.toStdString() + "/Corvel.ini";
  // A large file makes each save long and the moments between two saves short.
  std::ofstream(path, std::ios::binary) << "[Pad]\npad=" << std::string(8'000'000, 'p') << "\n";
  const pid_t busy = InChild([&] {
    IniSettingsStore store(path);
    for (int i = 0;; ++i)
      store.Save("Busy", "counter", std::to_string(i));
  });
  ASSERT_GT(busy, 0);
  const std::shared_ptr<void> stopBusy(nullptr, [busy](void*) {
    ::kill(busy, SIGKILL);
    ::waitpid(busy, nullptr, 0);
  });
  // Once the busy writer has replaced the file three times (each save renames a new one in).
  ino_t last = 0;
  const QDeadlineTimer deadline(120000);
  for (int replaced = 0; replaced < 3 && !deadline.hasExpired(); QTest::qWait(1)) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_ino != last) {
      last = info.st_ino;
      ++replaced;
    }
  }
  ASSERT_FALSE(deadline.hasExpired()) << "the busy writer did not get going";
  QElapsedTimer took;
  took.start();
  EXPECT_NO_THROW(IniSettingsStore(path, std::chrono::seconds(60)).Save("Zebra", "COMPORT", "2"));
  EXPECT_LT(took.elapsed(), 4000 * (test::kSanitized ? 10 : 1))
      << "waited nearly as long as for a lock nobody gives up";
  EXPECT_EQ(IniSettingsStore(path).Get("Zebra", "COMPORT"), "2");
}

}  // namespace
}  // namespace corvel
