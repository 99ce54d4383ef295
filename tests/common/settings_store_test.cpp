// The settings file: its text model without files (what a line means, where a new line
// goes), then the store on real files. That a change leaves every other line as it was
// is held by fuzz/ini_document_fuzz.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "common/errors.h"
#include "common/ini_document.h"
#include "common/ini_settings_store.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(IniDocumentTest, ReadsExactTextWrittenByOtherPrograms) {
  const std::optional<IniDocument> document = IniDocument::Parse(
      "\xEF\xBB\xBFtop=1\r\n[Quorrel]\r\n  Indented = v \r\nLoneCr=a\rb\r\n#Hashed=1\r\n\r\n"
      "[quorrel]\r\nPath=lower\r\n[Printer]\nDisplay=1\nDisplay=2\nCafe=Caf\xE9 \x80");
  ASSERT_TRUE(document);
  const std::tuple<const char*, const char*, std::optional<std::string>> rows[] = {
      {"", "top", "1"},                // after a byte order mark
      {"Quorrel", "Indented", " v "},  // blanks around a key name do not count
      {"Quorrel", "LoneCr", "a\rb"},   // only CR LF and LF end a line
      {"Quorrel", "#Hashed", {}},
      {"Quorrel", "Path", {}},      // section names match exactly
      {"Printer", "Display", "1"},  // the first of two wins
      {"Printer", "Cafe", "Caf\xC3\xA9 \xE2\x82\xAC"},
  };
  for (const auto& [section, key, value] : rows) {
    const std::optional<std::string_view> got = document->Get(section, key);
    EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, value) << key;
  }
}

TEST(IniDocumentTest, NewLinesGoToTheirSectionInTheFilesLineEnding) {
  // clang-format off
  const std::tuple<std::string, const char*, const char*, std::string> rows[] = {
      {"[A]\r\nk=1\n\n", "B", "j", "[A]\r\nk=1\n\n[B]\nj=Shop\n"},  // most lines end in LF
      // A Windows-1252 line that changes becomes UTF-8; the others stay as they are.
      {"[A]\nCaf\xE9=\xE9\nb=\xE9\n", "A", "Caf\xC3\xA9", "[A]\nCaf\xC3\xA9=Shop\nb=\xE9\n"},
  };
  // clang-format on
  for (const auto& [before, section, key, after] : rows) {
    SCOPED_TRACE(before + " + " + key);
    std::string out;
    ASSERT_TRUE(ApplyIniValues(before, section, {{key, "Shop"}}, out));
    EXPECT_EQ(out, after);
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

ino_t Inode(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

// All changes in one rewrite, none when nothing changes; what cannot be stored in a
// line is refused with nothing written.
TEST(IniSettingsStoreTest, WritesWhatALineHoldsInOneRewrite) {
  const std::string path = NewIni("[Zebra]\r\nA=1\r\n; note\r\nB=2\r\n[Other]\r\nA=9\r\n");
  IniSettingsStore zebra(path);
  zebra.SaveMany("Zebra", {{"B", "20"}, {"C", "30"}, {"A", "1"}, {"C", "31"}});
  const std::string written = "[Zebra]\r\nA=1\r\n; note\r\nB=20\r\nC=31\r\n[Other]\r\nA=9\r\n";
  EXPECT_EQ(ReadFile(path), written);
  const ino_t before = Inode(path);  // every rewrite renames a new file into place
  zebra.SaveMany("Zebra", {{"A", "1"}, {"C", "31"}});
  EXPECT_EQ(Inode(path), before);
  // A key led by a byte order mark could not be read back from the file's first line.
  const char* refused[][3] = {{"A", "k", "one\r\n"}, {"A", "k=x", "1"}, {"A", "", "1"},
                              {"A", ";k", "1"},      {"A]", "k", "1"},  {"", "\xEF\xBB\xBFk", "1"}};
  for (const auto& [section, key, value] : refused) {
    EXPECT_THROW(zebra.SaveMany(section, {{"fine", "1"}, {key, value}}), IoError) << key;
    EXPECT_EQ(ReadFile(path), written);
  }
}

// The parse is kept while size, inode and time stamp stay; a rewrite within the clock
// tick of the read keeps all three and must still be seen.
TEST(IniSettingsStoreTest, SeesAFileRewrittenInPlaceWithinOneClockTick) {
  const std::string path = NewIni("[A]\nk=1\n");
  IniSettingsStore store(path);
  EXPECT_EQ(store.Get("A", "k"), "1");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  std::ofstream(path, std::ios::binary) << "[A]\nk=3\n";
  const struct timespec same[2] = {info.st_atim, info.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), same, 0), 0);
  EXPECT_EQ(store.Get("A", "k"), "3");
}

// A writer killed at some point of a long series of large rewrites, leaving its
// temporary file behind, leaves one of the two complete files and no lock.
TEST(IniSettingsStoreTest, CrashedWritersLeaveACompleteFile) {
  const std::string big1(256 * 1024, '1'), big2(300 * 1024, '2');
  const std::string path = NewIni("[A]\nkeep=me\nbig=" + big1 + "\n");
  const pid_t child = ::fork();
  if (child == 0) {
    IniSettingsStore store(path);
    for (int i = 0;; ++i)
      store.Save("A", "big", i % 2 ? big1 : big2);
  }
  ASSERT_GT(child, 0);
  ino_t last = 0;
  for (int changes = 0; changes < 5; ::usleep(1000)) {  // until it replaced the file a few times
    ASSERT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the writer ended by itself";
    if (Inode(path) != last) {
      last = Inode(path);
      ++changes;
    }
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
