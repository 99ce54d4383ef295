#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "common/settings_store.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

std::string NewIni(const std::string& bytes) {
  const std::string path = test::MakeTempFolder().toStdString() + "/Corvel.ini";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The message of the IoError `work` throws; "" when it throws none.
std::string IoErrorText(const std::function<void()>& work) {
  try {
    work();
  } catch (const IoError& error) {
    return error.what();
  }
  return "";
}

TEST(ParseBoolTextTest, Table) {
  const std::pair<const char*, std::optional<bool>> rows[] = {
      {" tRuE ", true}, {"\tFalse", false}, {"-1", true},  {"0.0", false},
      {"0.5", true},    {"", {}},           {"Truth", {}}, {"1x", {}},
  };
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(ParseBoolText(text), expected) << "text: '" << text << "'";
}

// The text model has its own tests (ini_document_test.cpp); here only that the store
// reads through it and writes what it changes.
TEST(IniSettingsStoreTest, ReadsAndWritesThroughTheDocument) {
  std::string path = NewIni("\xEF\xBB\xBF[A]\r\nk=Caf\xE9\r\n");
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("A", "k"), "Caf\xC3\xA9");
  store.Save("A", "j", "2");
  EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF[A]\r\nk=Caf\xE9\r\nj=2\r\n");
  EXPECT_EQ(store.Keys("A"), (std::vector<std::string>{"j", "k"}));

  path = NewIni("[Zebra]\r\nA=1\r\n; note\r\nB=2\r\n[Other]\r\nA=9\r\n");
  IniSettingsStore zebra(path);
  zebra.SaveMany("Zebra", {{"B", "20"}, {"C", "30"}, {"A", "1"}, {"C", "31"}});
  EXPECT_EQ(ReadFile(path), "[Zebra]\r\nA=1\r\n; note\r\nB=20\r\nC=31\r\n[Other]\r\nA=9\r\n");
  // Every rewrite renames a new file into place: an unchanged inode means no rewrite.
  struct stat before, after;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  zebra.SaveMany("Zebra", {{"A", "1"}, {"C", "31"}});
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST(IniSettingsStoreTest, RefusesWhatCannotBeStoredInALine) {
  const std::string path = NewIni("[A]\nk=old\n");
  IniSettingsStore store(path);
  const char* rows[][3] = {
      {"A", "k", "one\r\n"}, {"A", "k", "one\r"}, {"A", "k=x", "1"},         {"A", "", "1"},
      {"A", ";k", "1"},      {"A]", "k", "1"},    {"", "\xEF\xBB\xBFk", "1"}};
  for (const auto& [section, key, value] : rows) {
    EXPECT_THROW(store.SaveMany(section, {{"fine", "1"}, {key, value}}), IoError) << key;
    EXPECT_EQ(ReadFile(path), "[A]\nk=old\n");
  }
}

TEST(IniSettingsStoreTest, MissingAndUnusablePaths) {
  const std::string folder = test::MakeTempFolder().toStdString();
  IniSettingsStore fresh(folder + "/deep/Corvel/Corvel.ini");
  EXPECT_EQ(fresh.Get("Zebra", "COMPORT"), std::nullopt);
  fresh.Save("Zebra", "COMPORT", "2");
  EXPECT_EQ(ReadFile(fresh.Path()), "[Zebra]\nCOMPORT=2\n");

  // A settings folder left behind as a file, a folder where the file should be: reading
  // and writing fail with the path and the cause.
  std::ofstream(folder + "/plain") << "x";
  ::mkdir((folder + "/Corvel.ini").c_str(), 0700);
  const std::pair<std::string, std::string> rows[] = {
      {folder + "/Corvel.ini", "it is a folder"},
      {folder + "/plain/Corvel.ini", folder + "/plain is a file, not a folder"},
  };
  for (const auto& [path, cause] : rows) {
    IniSettingsStore store(path);
    for (const std::string& message : {IoErrorText([&] { store.Get("A", "k"); }),
                                       IoErrorText([&] { store.Save("A", "k", "1"); })}) {
      EXPECT_NE(message.find(path), std::string::npos) << message;
      EXPECT_NE(message.find(cause), std::string::npos) << message;
    }
  }
}

// The parsed file is kept for later reads: it must cost about the file's size, not a
// multiple of it (many short lines were once twelve times the file).
TEST(IniSettingsStoreTest, MemoryProportionateToTheFile) {
  std::string bytes = "[Zebra]\n";
  for (int i = 0; bytes.size() < 4'000'000; ++i)
    bytes += "Key" + std::to_string(i) + "=" + std::to_string(i % 97) + "\n";
  const std::string path = NewIni(bytes);
  const std::size_t before = mallinfo2().uordblks;
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("Zebra", "Key12345"), std::to_string(12345 % 97));
  const std::size_t held = mallinfo2().uordblks - before;
  EXPECT_LT(held, 3 * bytes.size()) << held << " bytes held for a file of " << bytes.size();
  store.Save("Zebra", "Key12345", "x");
  EXPECT_EQ(ReadFile(path).size(), bytes.size() - std::to_string(12345 % 97).size() + 1);
}

TEST(IniSettingsStoreTest, SeesChangesOtherProgramsMake) {
  const std::string path = NewIni("[A]\nk=1\n");
  // An old time stamp lets the store keep its parse; a changed file must still be seen.
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("A", "k"), "1");
  IniSettingsStore(path).Save("A", "k", "2");  // same size, new file
  EXPECT_EQ(store.Get("A", "k"), "2");
  // Rewritten in place within the same clock tick: size, inode and time stamp all equal.
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  std::ofstream(path, std::ios::binary) << "[A]\nk=3\n";
  const struct timespec same[2] = {info.st_atim, info.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), same, 0), 0);
  EXPECT_EQ(store.Get("A", "k"), "3");
}

TEST(IniSettingsStoreTest, CrashedWritersLeaveACompleteFile) {
  // A writer killed at some point of a long series of large rewrites, leaving its
  // temporary file behind.
  const std::string big1(256 * 1024, '1'), big2(300 * 1024, '2');
  const std::string path = NewIni("[A]\nkeep=me\nbig=" + big1 + "\n");
  const pid_t child = ::fork();
  if (child == 0) {
    IniSettingsStore store(path);
    for (int i = 0;; ++i)
      store.Save("A", "big", i % 2 ? big1 : big2);
  }
  ASSERT_GT(child, 0);
  struct stat info;
  ino_t last = 0;
  for (int changes = 0; changes < 5;) {  // until it has replaced the file a few times
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the writer ended by itself";
    if (::stat(path.c_str(), &info) == 0 && info.st_ino != last) {
      last = info.st_ino;
      ++changes;
    }
    ::usleep(1000);
  }
  ::kill(child, SIGKILL);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string file = ReadFile(path);
  EXPECT_TRUE(file == "[A]\nkeep=me\nbig=" + big1 + "\n" ||
              file == "[A]\nkeep=me\nbig=" + big2 + "\n")
      << "file of " << file.size() << " bytes";
  IniSettingsStore after(path);  // the lock died with the writer
  after.Save("A", "after", "1");
  EXPECT_EQ(after.Get("A", "keep"), "me");
}

}  // namespace
}  // namespace corvel
