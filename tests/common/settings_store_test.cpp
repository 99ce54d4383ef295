#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "common/settings_store.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

std::string NewFolder() {
  return test::MakeTempFolder().toStdString();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// Runs `work` in a child process; returns its pid. The child exits 0 when `work` ends
// without an exception.
template <typename Work>
pid_t InChild(Work work) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int status = 0;
    try {
      work();
    } catch (...) {
      status = 1;
    }
    ::_exit(status);
  }
  return pid;
}

int WaitExitCode(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Drops every capability of this process (the superuser's among them), so that file
// permissions apply to it as to anyone.
void DropPrivileges() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capset, &header, data) != 0) throw std::runtime_error("capset failed");
}

// ---------------------------------------------------------------------------------------

TEST(ParseBoolTextTest, Table) {
  struct Row {
    const char* text;
    std::optional<bool> expected;
  };
  const Row rows[] = {
      {"True", true},
      {"False", false},
      {"TRUE", true},
      {"false", false},
      {"tRuE", true},
      {" True ", true},
      {"1", true},
      {"0", false},
      {"-1", true},
      {"+2", true},
      {"0.0", false},
      {"0.5", true},
      {"00", false},
      {"", {}},
      {"Yes", {}},
      {"Truth", {}},
      {"1x", {}},
      {"-", {}},
      {".", {}},
      {"1.2.3", {}},
      {"T rue", {}},
      {"0x1", {}},
      {"\tFalse\t", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("text: '") + row.text + "'");
    EXPECT_EQ(ParseBoolText(row.text), row.expected);
  }
}

TEST(MemorySettingsStoreTest, KeepsSectionsAndKeysApartAndOverwrites) {
  MemorySettingsStore store;
  EXPECT_EQ(store.Get("Zebra", "COMPORT"), std::nullopt);
  EXPECT_EQ(store.GetOr("Zebra", "COMPORT", "1"), "1");
  store.SaveMany("Zebra", {{"COMPORT", "2"}, {"Storename1", "Corner Shop"}});
  store.Save("Printer", "COMPORT", "x");
  store.Save("Zebra", "COMPORT", "3");
  EXPECT_EQ(store.GetOr("Zebra", "COMPORT", "1"), "3");
  EXPECT_EQ(store.Get("Printer", "COMPORT"), "x");
  EXPECT_EQ(store.Get("Zebra", "Storename1"), "Corner Shop");
  EXPECT_EQ(store.Get("zebra", "COMPORT"), std::nullopt);
  // A section name with a line break must not run into the key.
  EXPECT_EQ(store.Get("Zebra\nCOMPORT", ""), std::nullopt);
}

// ---------------------------------------------------------------------------------------
// Reading files written by other programs

struct ReadRow {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

class IniReadTest : public ::testing::TestWithParam<ReadRow> {};

TEST_P(IniReadTest, ReadsExactText) {
  const ReadRow& row = GetParam();
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, row.file);
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get(row.section, row.key), row.expected);
}

const std::string kHandWritten =
    "; written by hand\r\n"
    "[Quorrel]\r\n"
    "Path=C:\\Shop\\Data\\\r\n"
    "List=a, b,c\r\n"
    "Semi=x;y ; z\r\n"
    "Quoted=\"quoted\" 'single'\r\n"
    "Hash=# not a comment\r\n"
    "Equals=a=b==c\r\n"
    "Spaces=  both ends  \r\n"
    "Empty=\r\n"
    "Tab=\tTab\t\r\n"
    "  Indented = value \r\n"
    "LoneCr=a\rb\r\n"
    "#Commented=1\r\n"
    ";Also=1\r\n"
    "\r\n"
    "[quorrel]\r\n"
    "Path=lower-case section\r\n"
    "[Printer]\n"
    "Display=1\n"
    "Display=second\n"
    "path=lower-case key\n"
    "Last=no final newline";

INSTANTIATE_TEST_SUITE_P(
    Values, IniReadTest,
    ::testing::Values(
        ReadRow{"Backslashes", kHandWritten, "Quorrel", "Path", "C:\\Shop\\Data\\"},
        ReadRow{"Commas", kHandWritten, "Quorrel", "List", "a, b,c"},
        ReadRow{"Semicolons", kHandWritten, "Quorrel", "Semi", "x;y ; z"},
        ReadRow{"Quotes", kHandWritten, "Quorrel", "Quoted", "\"quoted\" 'single'"},
        ReadRow{"HashInValue", kHandWritten, "Quorrel", "Hash", "# not a comment"},
        ReadRow{"EqualsInValue", kHandWritten, "Quorrel", "Equals", "a=b==c"},
        ReadRow{"LeadingTrailingSpaces", kHandWritten, "Quorrel", "Spaces", "  both ends  "},
        ReadRow{"EmptyValue", kHandWritten, "Quorrel", "Empty", ""},
        ReadRow{"Tabs", kHandWritten, "Quorrel", "Tab", "\tTab\t"},
        ReadRow{"KeyBlanksIgnoredValueKept", kHandWritten, "Quorrel", "Indented", " value "},
        ReadRow{"LoneCarriageReturnIsText", kHandWritten, "Quorrel", "LoneCr", "a\rb"},
        ReadRow{"HashComment", kHandWritten, "Quorrel", "#Commented", std::nullopt},
        ReadRow{"SemicolonComment", kHandWritten, "Quorrel", ";Also", std::nullopt},
        ReadRow{"SectionCaseSensitive", kHandWritten, "quorrel", "Path", "lower-case section"},
        ReadRow{"KeyCaseSensitive", kHandWritten, "Printer", "path", "lower-case key"},
        ReadRow{"KeyNotInOtherSection", kHandWritten, "Printer", "List", std::nullopt},
        ReadRow{"FirstDuplicateWins", kHandWritten, "Printer", "Display", "1"},
        ReadRow{"NoFinalNewline", kHandWritten, "Printer", "Last", "no final newline"},
        ReadRow{"MissingSection", kHandWritten, "Zebra", "Path", std::nullopt},
        ReadRow{"ByteOrderMark", "\xEF\xBB\xBF[Zebra]\nCOMPORT=2\n", "Zebra", "COMPORT", "2"},
        ReadRow{"Windows1252Line", "[Zebra]\nStorename1=Caf\xE9 \x80 5\n", "Zebra", "Storename1",
                "Caf\xC3\xA9 \xE2\x82\xAC 5"},
        ReadRow{"Utf8LineKept", "[Zebra]\nStorename1=Caf\xC3\xA9\n", "Zebra", "Storename1",
                "Caf\xC3\xA9"},
        ReadRow{"KeysBeforeAnySection", "Top=1\n[Zebra]\nTop=2\n", "", "Top", "1"},
        ReadRow{"EmptyFile", "", "Zebra", "COMPORT", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Writing: only the key's line changes

struct WriteRow {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  std::string value;
  std::string after;
};

class IniWriteTest : public ::testing::TestWithParam<WriteRow> {};

TEST_P(IniWriteTest, ChangesOnlyThatLine) {
  const WriteRow& row = GetParam();
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, row.before);
  IniSettingsStore store(path);
  store.Save(row.section, row.key, row.value);
  EXPECT_EQ(ReadFile(path), row.after);
  EXPECT_EQ(store.Get(row.section, row.key), row.value);
  EXPECT_EQ(IniSettingsStore(path).Get(row.section, row.key), row.value);
}

const std::string kThreeSections =
    "; settings\r\n"
    "[Zebra]\r\n"
    "COMPORT=1\r\n"
    "Storename1=Shop\r\n"
    "\r\n"
    "; the runner\r\n"
    "[Quorrel]\r\n"
    "Path=C:\\Data\r\n"
    "\r\n"
    "[Printer]\r\n"
    "Display=0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, IniWriteTest,
    ::testing::Values(
        WriteRow{"ReplaceInMiddle", kThreeSections, "Quorrel", "Path", "D:\\x, y; \"z\" # =",
                 "; settings\r\n[Zebra]\r\nCOMPORT=1\r\nStorename1=Shop\r\n\r\n; the runner\r\n"
                 "[Quorrel]\r\nPath=D:\\x, y; \"z\" # =\r\n\r\n[Printer]\r\nDisplay=0\r\n"},
        WriteRow{"AppendToMiddleSectionBeforeBlankAndComment", kThreeSections, "Zebra",
                 "Storename12", "  spaced  ",
                 "; settings\r\n[Zebra]\r\nCOMPORT=1\r\nStorename1=Shop\r\nStorename12=  spaced  "
                 "\r\n\r\n; the runner\r\n[Quorrel]\r\nPath=C:\\Data\r\n\r\n[Printer]\r\n"
                 "Display=0\r\n"},
        WriteRow{"AppendSection", kThreeSections, "New", "Key", "v",
                 kThreeSections + "[New]\r\nKey=v\r\n"},
        WriteRow{"SectionNamesCaseSensitive", kThreeSections, "printer", "Display", "1",
                 kThreeSections + "[printer]\r\nDisplay=1\r\n"},
        WriteRow{"KeyNamesCaseSensitive", kThreeSections, "Printer", "display", "1",
                 kThreeSections + "display=1\r\n"},
        WriteRow{"KeepsKeySpellingAroundEquals", "[A]\n  k = old\nz=1\n", "A", "k", "new",
                 "[A]\n  k =new\nz=1\n"},
        WriteRow{"NoFinalNewlineGetsOne", "[A]\nk=1", "A", "j", "2", "[A]\nk=1\nj=2\n"},
        WriteRow{"NoFinalNewlineNewSection", "[A]\nk=1", "B", "j", "2", "[A]\nk=1\n[B]\nj=2\n"},
        WriteRow{"ReplaceLastLineWithoutNewline", "[A]\nk=1", "A", "k", "22", "[A]\nk=22"},
        WriteRow{"DominantEndingLf", "[A]\r\nk=1\n\n", "B", "j", "2", "[A]\r\nk=1\n\n[B]\nj=2\n"},
        WriteRow{"EmptySectionGetsKeyAfterHeader", "[A]\n[B]\nx=1\n", "A", "k", "v",
                 "[A]\nk=v\n[B]\nx=1\n"},
        WriteRow{"EmptyFile", "", "Zebra", "COMPORT", "3", "[Zebra]\nCOMPORT=3\n"},
        WriteRow{"Windows1252LineBecomesUtf8", "[A]\nCaf\xE9=\xE9t\xE9\nb=\xE9\n", "A",
                 "Caf\xC3\xA9", "\xE2\x82\xAC", "[A]\nCaf\xC3\xA9=\xE2\x82\xAC\nb=\xE9\n"},
        WriteRow{"ByteOrderMarkStaysFirst", "\xEF\xBB\xBF[A]\nk=1\n", "", "top", "1",
                 "\xEF\xBB\xBFtop=1\n[A]\nk=1\n"},
        WriteRow{"CommentedKeyIsNotReplaced", "[A]\n;k=1\n", "A", "k", "2", "[A]\nk=2\n;k=1\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniSettingsStoreTest, SaveManyWritesAllKeysKeepingOthers) {
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, "[Zebra]\r\nA=1\r\n; note\r\nB=2\r\n[Other]\r\nA=9\r\n");
  IniSettingsStore store(path);
  store.SaveMany("Zebra", {{"B", "20"}, {"C", "30"}, {"A", "1"}, {"C", "31"}});
  EXPECT_EQ(ReadFile(path), "[Zebra]\r\nA=1\r\n; note\r\nB=20\r\nC=31\r\n[Other]\r\nA=9\r\n");
  // Bytes that are not UTF-8 are stored as the Windows-1252 text they read back as.
  store.SaveMany("Zebra", {{"D", "Caf\xE9"}});
  EXPECT_EQ(store.Get("Zebra", "D"), "Caf\xC3\xA9");
  EXPECT_NE(ReadFile(path).find("D=Caf\xC3\xA9\r\n"), std::string::npos);
}

TEST(IniSettingsStoreTest, UnchangedValuesDoNotRewriteTheFile) {
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, "[A]\nk=1\nj=x\n");
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  IniSettingsStore store(path);
  store.Save("A", "k", "1");
  store.SaveMany("A", {{"k", "1"}, {"j", "x"}});
  struct stat after;
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  // Every rewrite renames a new file into place, so the inode would change.
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_FALSE(Exists(path + ".tmp"));
}

TEST(IniSettingsStoreTest, RefusesWhatCannotBeStoredInALine) {
  struct Row {
    const char* name;
    const char* section;
    const char* key;
    const char* value;
  };
  const Row rows[] = {
      {"LfInValue", "A", "k", "one\ntwo"}, {"CrLfInValue", "A", "k", "one\r\n"},
      {"CrAtValueEnd", "A", "k", "one\r"}, {"LfInKey", "A", "k\nx", "1"},
      {"EqualsInKey", "A", "k=x", "1"},    {"EmptyKey", "A", "", "1"},
      {"CommentKey", "A", ";k", "1"},      {"SectionKey", "A", "[k]", "1"},
      {"BlankAroundKey", "A", " k", "1"},  {"BracketInSection", "A]", "k", "1"},
      {"LfInSection", "A\n[B", "k", "1"},
  };
  const std::string path = NewFolder() + "/Corvel.ini";
  const std::string original = "[A]\nk=old\n";
  WriteFile(path, original);
  IniSettingsStore store(path);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_THROW(store.Save(row.section, row.key, row.value), IoError);
    // One bad value refuses the whole batch.
    EXPECT_THROW(store.SaveMany(row.section, {{"fine", "1"}, {row.key, row.value}}), IoError);
    EXPECT_EQ(ReadFile(path), original);
  }
}

// ---------------------------------------------------------------------------------------
// Missing files, unusable paths

TEST(IniSettingsStoreTest, MissingFileReadsEmptyAndFoldersAreCreated) {
  const std::string folder = NewFolder() + "/deep/Corvel";
  const std::string path = folder + "/Corvel.ini";
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("Zebra", "COMPORT"), std::nullopt);
  store.Save("Zebra", "COMPORT", "2");
  EXPECT_EQ(ReadFile(path), "[Zebra]\nCOMPORT=2\n");
  struct stat info;
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(IniSettingsStoreTest, UnusablePathsRaiseIoErrorNamingThePath) {
  const std::string folder = NewFolder();
  WriteFile(folder + "/plain", "x");
  ::mkdir((folder + "/Corvel.ini").c_str(), 0700);
  struct Row {
    const char* name;
    std::string path;
    bool getFails;
  };
  const Row rows[] = {
      {"PathIsAFolder", folder + "/Corvel.ini", true},
      {"FolderIsAFile", folder + "/plain/Corvel.ini", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    IniSettingsStore store(row.path);
    if (row.getFails) {
      EXPECT_THROW(store.Get("A", "k"), IoError);
    }
    try {
      store.Save("A", "k", "1");
      ADD_FAILURE() << "saving succeeded";
    } catch (const IoError& error) {
      EXPECT_NE(std::string(error.what()).find(folder), std::string::npos) << error.what();
    }
  }
}

TEST(IniSettingsStoreTest, ReadOnlyFolderRaisesIoError) {
  const std::string folder = NewFolder();
  const std::string path = folder + "/Corvel.ini";
  WriteFile(path, "[A]\nk=1\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
  // The superuser writes into read-only folders; the child gives up that power first.
  const pid_t child = InChild([&path] {
    DropPrivileges();
    IniSettingsStore store(path);
    try {
      store.Save("A", "k", "2");
    } catch (const IoError&) {
      if (store.Get("A", "k") == "1") return;
    }
    throw std::runtime_error("saving into a read-only folder did not fail");
  });
  ASSERT_GT(child, 0);
  EXPECT_EQ(WaitExitCode(child), 0);
  ::chmod(folder.c_str(), 0700);
  EXPECT_EQ(ReadFile(path), "[A]\nk=1\n");
}

TEST(IniSettingsStoreTest, DefaultPathFollowsXdgConfigHome) {
  const std::string savedConfig =
      std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  struct Row {
    const char* name;
    const char* config;  // nullptr: unset
    std::string expected;
  };
  const Row rows[] = {
      {"Set", "/cfg", "/cfg/Corvel/Corvel.ini"},
      {"Empty", "", "/home/clerk/.config/Corvel/Corvel.ini"},
      {"Unset", nullptr, "/home/clerk/.config/Corvel/Corvel.ini"},
  };
  ::setenv("HOME", "/home/clerk", 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.config) {
      ::setenv("XDG_CONFIG_HOME", row.config, 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    EXPECT_EQ(IniSettingsStore::DefaultPath(), row.expected);
  }
  ::setenv("HOME", savedHome.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
}

// ---------------------------------------------------------------------------------------
// Other writers

TEST(IniSettingsStoreTest, SeesChangesOtherProgramsMake) {
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, "[A]\nk=1\n");
  // An old time stamp lets the store keep its parse; a changed file must still be seen.
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("A", "k"), "1");
  EXPECT_EQ(store.Get("A", "k"), "1");

  IniSettingsStore other(path);
  other.Save("A", "k", "2");  // same size, new file
  EXPECT_EQ(store.Get("A", "k"), "2");

  WriteFile(path, "[A]\nk=3\n");  // rewritten in place, same size, within the same tick
  EXPECT_EQ(store.Get("A", "k"), "3");

  ::unlink(path.c_str());
  EXPECT_EQ(store.Get("A", "k"), std::nullopt);
}

TEST(IniSettingsStoreTest, ConcurrentWritersLoseNoUpdate) {
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, "; shared\n[Shared]\nkeep=me\n");
  constexpr int kWrites = 60;
  auto writer = [&](const char* prefix) {
    return InChild([&path, prefix] {
      IniSettingsStore store(path);
      for (int i = 0; i < kWrites; ++i) {
        store.Save("Shared", prefix + std::to_string(i), std::to_string(i));
        store.Save(prefix, "counter", std::to_string(i));
      }
    });
  };
  const pid_t first = writer("a");
  const pid_t second = writer("b");
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  EXPECT_EQ(WaitExitCode(first), 0);
  EXPECT_EQ(WaitExitCode(second), 0);

  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("Shared", "keep"), "me");
  for (const char* prefix : {"a", "b"}) {
    EXPECT_EQ(store.Get(prefix, "counter"), std::to_string(kWrites - 1));
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(store.Get("Shared", prefix + std::to_string(i)), std::to_string(i)) << prefix << i;
    }
  }
  EXPECT_EQ(ReadFile(path).rfind("; shared\n[Shared]\nkeep=me\na0=0\n", 0), 0u);
}

TEST(IniSettingsStoreTest, StaleTemporaryFileIsHarmless) {
  const std::string path = NewFolder() + "/Corvel.ini";
  WriteFile(path, "[A]\nk=1\n");
  WriteFile(path + ".tmp", "[A]\nk=half a fi");  // left by a writer that crashed
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("A", "k"), "1");
  store.Save("A", "k", "2");
  EXPECT_EQ(ReadFile(path), "[A]\nk=2\n");
  EXPECT_FALSE(Exists(path + ".tmp"));
}

TEST(IniSettingsStoreTest, WriterKilledMidUpdateLeavesACompleteFile) {
  const std::string path = NewFolder() + "/Corvel.ini";
  // Large values make each rewrite long enough for the kill to land inside one.
  const std::string big1(256 * 1024, '1');
  const std::string big2(300 * 1024, '2');
  WriteFile(path, "[A]\nkeep=me\nbig=" + big1 + "\n");
  const pid_t child = InChild([&] {
    IniSettingsStore store(path);
    for (int i = 0;; ++i)
      store.Save("A", "big", i % 2 ? big1 : big2);
  });
  ASSERT_GT(child, 0);
  // Wait until the child has replaced the file a few times, then kill it.
  struct stat info;
  ino_t last = 0;
  for (int changes = 0; changes < 5;) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the writer ended by itself";
    if (::stat(path.c_str(), &info) == 0 && info.st_ino != last) {
      last = info.st_ino;
      ++changes;
    }
    ::usleep(1000);
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  const std::string file = ReadFile(path);
  EXPECT_TRUE(file == "[A]\nkeep=me\nbig=" + big1 + "\n" ||
              file == "[A]\nkeep=me\nbig=" + big2 + "\n")
      << "file of " << file.size() << " bytes";
  // The lock died with the child: the next writer proceeds.
  IniSettingsStore store(path);
  store.Save("A", "after", "1");
  EXPECT_EQ(store.Get("A", "keep"), "me");
  EXPECT_EQ(store.Get("A", "after"), "1");
}

}  // namespace
}  // namespace corvel
