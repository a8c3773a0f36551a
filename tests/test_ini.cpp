// The INI reader's rules on one worked file, and the atomic writer's failures.
#include <gtest/gtest.h>

#include "settings/ini.h"
#include "test_files.h"

namespace {
const char* const workedExample =
    "; note\n"
    "[section]\n"
    "  name =  two words  \n"
    "a=b=c\n"
    "=x\n"
    "empty=\n"
    "no equals sign here\n"
    "path = C:\\Games #2\\disc.iso\n"
    "name = second";  // no final LF
}

TEST(Ini, WorkedExampleWithAndWithoutHashComments) {
  TempDir dir;
  writeFile(dir / "a.ini", workedExample);
  IniMap kept;
  ASSERT_TRUE(IniFile::read(dir / "a.ini", kept, false));
  IniMap expected{{"a", "b=c"}, {"", "x"}, {"empty", ""}, {"name", "second"}, {"path", "C:\\Games #2\\disc.iso"}};
  EXPECT_EQ(kept, expected);

  IniMap cut;
  ASSERT_TRUE(IniFile::read(dir / "a.ini", cut, true));
  expected["path"] = "C:\\Games";
  EXPECT_EQ(cut, expected);
}

TEST(Ini, CrLfReadsLikeLf) {
  TempDir dir;
  std::string crlf;
  for (const char* c = workedExample; *c; c++) {
    if (*c == '\n') crlf += '\r';
    crlf += *c;
  }
  writeFile(dir / "lf.ini", workedExample);
  writeFile(dir / "crlf.ini", crlf + "\r\n");
  IniMap lf, dos;
  ASSERT_TRUE(IniFile::read(dir / "lf.ini", lf, false));
  ASSERT_TRUE(IniFile::read(dir / "crlf.ini", dos, false));
  EXPECT_EQ(lf, dos);
}

TEST(Ini, MissingAndEmptyFiles) {
  TempDir dir;
  IniMap map;
  EXPECT_FALSE(IniFile::read(dir / "none.ini", map, false));
  writeFile(dir / "empty.ini", "");
  EXPECT_TRUE(IniFile::read(dir / "empty.ini", map, false));
  EXPECT_TRUE(map.empty());
}

TEST(Ini, WriteReplacesWholeFileWithExactBytes) {
  TempDir dir;
  std::string path = dir / "s.ini";
  writeFile(path, "old content that is longer than the new one\n");
  std::string text = "k = v\r\nutf8 = \xC3\xA9t\xC3\xA9\n";  // written as given, no translation
  ASSERT_TRUE(IniFile::writeAtomically(path, text));
  EXPECT_EQ(readFile(path), text);
  EXPECT_FALSE(entryExists(path + ".tmp"));
}

TEST(Ini, WriteIntoMissingFolderCreatesNothing) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(IniFile::writeAtomically(dir / "absent/s.ini", "k = v\n", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(entryExists(dir / "absent"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST(Ini, EmptyPathWritesNothing) {
  // An App that never resolved its layout saves to an empty path.
  EXPECT_FALSE(IniFile::writeAtomically("", "k = v\n"));
  EXPECT_FALSE(entryExists(".tmp"));
}

TEST(Ini, FailedRenameKeepsOldContentAndTmp) {
  // A folder in the file's place cannot be replaced by a file on either system;
  // what it holds stands for the old content.
  TempDir dir;
  std::string path = dir / "s.ini";
  writeFile(path + "/inside.txt", "old");
  std::string error;
  EXPECT_FALSE(IniFile::writeAtomically(path, "new\n", &error));
  EXPECT_NE(error.find("s.ini"), std::string::npos) << error;
  EXPECT_EQ(readFile(path + "/inside.txt"), "old");
  EXPECT_EQ(readFile(path + ".tmp"), "new\n");
}
