// The settings store on files other programs damaged or made huge, behind a lock held
// for long, and beside a busy writer in another process: reads give the stored text,
// writes change only their own line or fail saying why, and no write is lost.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

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
  for (const std::string& damage : {test::RandomBytes(64 * 1024, 7), huge}) {
    SCOPED_TRACE(damage.size());  // binary junk, 50 MB of lines (2 MB under the sanitizers)
    const std::string path = NewIni(damage + "\n[Zebra]\nStorename1=Shop\n");
    IniSettingsStore store(path);
    EXPECT_EQ(store.Get("Zebra", "Storename1"), "Shop");
    store.Save("Zebra", "Storename1", "New");
    store.Save("Zebra", "COMPORT", "7");
    EXPECT_EQ(ReadText(path), damage + "\n[Zebra]\nStorename1=New\nCOMPORT=7\n")
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
  EXPECT_LT(took.elapsed(), 2 * IniSettingsStore::kLockWait.count()) << "waited more than once";
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find(path + ".lock"), std::string::npos) << messages.messages[0];
  EXPECT_EQ(ReadText(path), "[Zebra]\nStorename1=Shop\n");
  ::close(holder);
  test::TypeAndLeave(window->Text5, "Corner Shop");
  EXPECT_EQ(settings.Get("Zebra", "Storename1"), "Corner Shop");
}

// A writer that saves without pause holds the lock nearly all the time (a large file
// makes each save long and the moments between two saves short). Another must still get
// it at each release, not fail after the bounded wait (writers that polled for the lock
// once lost saves so), and neither may drop the other's keys.
TEST(SettingsFaults, BesideAWriterThatNeverPausesNoSaveFailsOrIsLost) {
  QTemporaryDir memory("/dev/shm/corvel-XXXXXX");  // each save would wait for a disk twice
  const std::string path = NewIni("[Pad]\npad=" + std::string(2'000'000, 'p') + "\n",
                                  memory.isValid() ? memory.path() : test::MakeTempFolder());
  const pid_t busy = ::fork();
  if (busy == 0) {
    IniSettingsStore store(path);
    for (int i = 0;; ++i)
      store.Save("Busy", "counter", std::to_string(i));
  }
  const std::shared_ptr<void> stopBusy(nullptr, [busy](void*) {
    ::kill(busy, SIGKILL);
    ::waitpid(busy, nullptr, 0);
  });
  ASSERT_TRUE(test::WaitUntil([&] {
    return IniSettingsStore(path).Get("Busy", "counter").has_value();
  })) << "the busy writer did not get going";
  IniSettingsStore store(path);
  for (int i = 0; i < 50; ++i)
    ASSERT_NO_THROW(store.Save("Zebra", "key" + std::to_string(i), "1"));
  EXPECT_EQ(store.Keys("Zebra").size(), 50u);
  EXPECT_EQ(store.Get("Pad", "pad")->size(), 2'000'000u);
}

}  // namespace
}  // namespace corvel
