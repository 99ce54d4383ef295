// The settings file: its text model without files (what a line means, which bytes a
// change touches), then the store on real files.
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
#include <vector>

#include "common/errors.h"
#include "common/ini_document.h"
#include "common/ini_settings_store.h"
#include "common/settings_store.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

IniDocument Parsed(std::string bytes) {
  std::optional<IniDocument> document = IniDocument::Parse(std::move(bytes));
  EXPECT_TRUE(document.has_value());
  return document ? std::move(*document) : IniDocument();
}

TEST(IniDocumentTest, ReadsExactTextWrittenByOtherPrograms) {
  const IniDocument document = Parsed(
      "; by hand\r\n[Quorrel]\r\nPath=C:\\Shop\\Data\\\r\nList=a, b,c\r\nSemi=x;y ; z\r\n"
      "Quoted=\"q\" 'single'\r\nEquals=a=b==c\r\nSpaces=  both  \r\n  Indented = v \r\n"
      "LoneCr=a\rb\r\n#Hashed=1\r\n;Semi2=1\r\n\r\n[quorrel]\r\nPath=lower\r\n"
      "[Printer]\nDisplay=1\nDisplay=2\nCafe=Caf\xE9 \x80\nLast=no newline");
  struct Row {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Row rows[] = {
      {.section = "Quorrel", .key = "Path", .value = "C:\\Shop\\Data\\"},
      {.section = "Quorrel", .key = "List", .value = "a, b,c"},
      {.section = "Quorrel", .key = "Semi", .value = "x;y ; z"},
      {.section = "Quorrel", .key = "Quoted", .value = "\"q\" 'single'"},
      {.section = "Quorrel", .key = "Equals", .value = "a=b==c"},
      {.section = "Quorrel", .key = "Spaces", .value = "  both  "},
      // Blanks around a key name do not count; only CR LF and LF end a line.
      {.section = "Quorrel", .key = "Indented", .value = " v "},
      {.section = "Quorrel", .key = "LoneCr", .value = "a\rb"},
      {.section = "Quorrel", .key = "#Hashed", .value = {}},
      {.section = "Quorrel", .key = ";Semi2", .value = {}},
      {.section = "quorrel", .key = "Path", .value = "lower"},
      {.section = "Printer", .key = "Display", .value = "1"},  // the first of two wins
      {.section = "Printer", .key = "Cafe", .value = "Caf\xC3\xA9 \xE2\x82\xAC"},
      {.section = "Printer", .key = "Last", .value = "no newline"},
  };
  for (const Row& row : rows) {
    const std::optional<std::string_view> got = document.Get(row.section, row.key);
    EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, row.value)
        << row.section << "/" << row.key;
  }
  EXPECT_EQ(document.Keys("Printer"), (std::vector<std::string>{"Cafe", "Display", "Last"}));
  EXPECT_EQ(Parsed("\xEF\xBB\xBF[A]\nk=1\n").Get("A", "k"), "1");
  EXPECT_EQ(Parsed("top=1\n[A]\n").Get("", "top"), "1");
}

TEST(IniDocumentTest, ChangeTouchesOnlyThatLine) {
  const std::string two = "; c\r\n[Z]\r\nC=1\r\n\r\n[Q]\r\nP=C:\\D\r\n";
  struct Row {
    std::string before;
    const char* section;
    const char* key;
    std::string value;
    std::string after;
  };
  // clang-format off
  const Row rows[] = {
      {.before = two, .section = "Z", .key = "C", .value = " D:\\x, y; \"z\" # = ",
       .after = "; c\r\n[Z]\r\nC= D:\\x, y; \"z\" # = \r\n\r\n[Q]\r\nP=C:\\D\r\n"},
      {.before = two, .section = "Z", .key = "S", .value = "Shop",
       .after = "; c\r\n[Z]\r\nC=1\r\nS=Shop\r\n\r\n[Q]\r\nP=C:\\D\r\n"},
      {.before = two, .section = "New", .key = "k", .value = "v", .after = two + "[New]\r\nk=v\r\n"},
      {.before = "[A]\n  k = old\nz=1\n", .section = "A", .key = "k", .value = "new", .after = "[A]\n  k =new\nz=1\n"},
      {.before = "[A]\nk=1", .section = "A", .key = "j", .value = "2", .after = "[A]\nk=1\nj=2\n"},
      {.before = "[A]\nk=1", .section = "A", .key = "k", .value = "22", .after = "[A]\nk=22"},
      {.before = "[A]\nk=1\r", .section = "A", .key = "j", .value = "2", .after = "[A]\nk=1\r\r\nj=2\n"},
      // Most lines end in LF, so the new ones do.
      {.before = "[A]\r\nk=1\n\n", .section = "B", .key = "j", .value = "2", .after = "[A]\r\nk=1\n\n[B]\nj=2\n"},
      // A Windows-1252 line that changes becomes UTF-8; the others stay as they are.
      {.before = "[A]\nCaf\xE9=\xE9\nb=\xE9\n", .section = "A", .key = "Caf\xC3\xA9", .value = "\xE2\x82\xAC",
       .after = "[A]\nCaf\xC3\xA9=\xE2\x82\xAC\nb=\xE9\n"},
      {.before = "\xEF\xBB\xBF[A]\n", .section = "", .key = "top", .value = "1", .after = "\xEF\xBB\xBFtop=1\n[A]\n"},
      {.before = "[A]\n;k=1\n", .section = "A", .key = "k", .value = "2", .after = "[A]\nk=2\n;k=1\n"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.before + " + " + row.key);
    std::string out;
    ASSERT_TRUE(ApplyIniValues(row.before, row.section, {{row.key, row.value}}, out));
    EXPECT_EQ(out, row.after);
    std::string again = "untouched";
    EXPECT_FALSE(ApplyIniValues(out, row.section, {{row.key, row.value}}, again));
    EXPECT_EQ(again, "untouched");
  }
}

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

// The store writes through the text model, all changes in one rewrite, none when
// nothing changes.
TEST(IniSettingsStoreTest, ReadsAndWritesThroughTheDocument) {
  const std::string path = NewIni("[Zebra]\r\nA=1\r\n; note\r\nB=2\r\n[Other]\r\nA=9\r\n");
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
