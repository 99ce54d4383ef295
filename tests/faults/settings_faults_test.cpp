// The settings store on files other programs damaged or made huge, behind a lock held
// for long, and under busy writers in other processes: reads give the stored text,
// writes change only their own line or fail saying why, and no write is lost.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/ini_settings_store.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string NewIni(const std::string& bytes, QString folder = test::MakeTempFolder()) {
  const std::string path = folder.toStdString() + "/Corvel.ini";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(SettingsFaults, DamagedAndHugeFilesReadAndWriteOnlyTheirLine) {
  std::string huge = "[Other]\n";
  while (huge.size() < (test::kSanitized ? 2'000'000u : 50'000'000u))
    huge += "Key" + std::to_string(huge.size()) + "=some value of a line\n";
  const std::pair<const char*, std::string> rows[] = {
      {"binary junk", test::RandomBytes(64 * 1024, 7)},
      {"50 MB (2 MB under the sanitizers)", huge},
  };
  for (const auto& [name, damage] : rows) {
    SCOPED_TRACE(name);
    const std::string bytes = damage + "\n[Zebra]\nStorename1=Shop\n";
    const std::string path = NewIni(bytes);
    IniSettingsStore store(path);
    EXPECT_EQ(store.Get("Zebra", "Storename1"), "Shop");
    store.Save("Zebra", "Storename1", "New");
    store.Save("Zebra", "COMPORT", "7");
    EXPECT_EQ(store.Get("Zebra", "COMPORT"), "7");
    EXPECT_TRUE(ReadText(path) == damage + "\n[Zebra]\nStorename1=New\nCOMPORT=7\n")
        << "another line changed";
  }
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
  EXPECT_GE(took.elapsed(), IniSettingsStore::kLockWait.count());
  EXPECT_LT(took.elapsed(), IniSettingsStore::kLockWait.count() + 2000);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find(path + ".lock"), std::string::npos) << messages.messages[0];
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

// Two writers of a thousand keys each lose none. A writer that saves without pause holds
// the lock nearly all the time: another must still get it at its next release, not fail
// after the bounded wait (writers that polled for the lock once lost saves so).
TEST(SettingsFaults, ConcurrentWritersLoseNoKeyAndNoneStarves) {
  QTemporaryDir memory("/dev/shm/corvel-XXXXXX");  // each save would wait for a disk twice
  const std::string path = NewIni("[Zebra]\nStorename1=Shop\n",
                                  memory.isValid() ? memory.path() : test::MakeTempFolder());
  constexpr int kKeys = 1000;
  std::vector<pid_t> writers;
  for (const char* name : {"a", "b"})
    writers.push_back(InChild([&path, name] {
      IniSettingsStore store(path);
      for (int i = 0; i < kKeys; ++i)
        store.Save("Zebra", name + std::to_string(i), "1");
    }));
  for (const pid_t pid : writers) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(IniSettingsStore(path).Keys("Zebra").size(), 2u * kKeys + 1);

  // A large file makes each save long and the moments between two saves short.
  std::ofstream(path, std::ios::binary) << "[Pad]\npad=" << std::string(8'000'000, 'p') << "\n";
  const pid_t busy = InChild([&path] {
    IniSettingsStore store(path);
    for (int i = 0;; ++i)
      store.Save("Busy", "counter", std::to_string(i));
  });
  const std::shared_ptr<void> stopBusy(nullptr, [busy](void*) {
    ::kill(busy, SIGKILL);
    ::waitpid(busy, nullptr, 0);
  });
  ino_t last = 0;  // each save renames a new file in: wait for three
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
