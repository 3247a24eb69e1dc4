// DirectoryExists and CreateDirectoryTree on the real file system: what they create, what they
// record and log, and where they refuse.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "install/filesystem.h"
#include "install/setup_log.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"

namespace {

std::string Fresh(const char* name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), name);
  ui::RemoveTree(folder);
  return folder;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CurrentDirectory() {
  char dir[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof dir, dir);
  return dir;
}

std::vector<std::string> Created() {
  return std::vector<std::string>(CreatedDirectories, CreatedDirectories + CreatedDirectoryCount);
}

TEST(DirectoryExists, FoldersFilesAndMissingPathsKeepTheCurrentDirectory) {
  std::string root = Fresh("fs-exists");
  ASSERT_TRUE(ui::MakeFolders(root + "\\Unter"));
  ASSERT_TRUE(ui::WriteFile(root + "\\datei.txt", "x"));
  std::string before = CurrentDirectory();
  EXPECT_TRUE(DirectoryExists((root + "\\Unter").c_str()));
  EXPECT_TRUE(DirectoryExists((root + "\\Unter\\").c_str()));
  EXPECT_FALSE(DirectoryExists((root + "\\datei.txt").c_str()));
  EXPECT_FALSE(DirectoryExists((root + "\\fehlt").c_str()));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_EQ(CurrentDirectory(), before);
}

TEST(CreateDirectoryTree, CreatesEveryMissingLevelOutermostFirst) {
  std::string root = Fresh("fs-tree");
  ASSERT_TRUE(ui::MakeFolders(root));
  std::string before = CurrentDirectory();
  std::string path = root + "\\Programme\\Beispiel\\Daten";
  EXPECT_TRUE(CreateDirectoryTree((path + "\\\\").c_str()));  // trailing backslashes do not count
  EXPECT_TRUE(IsFolder(path));
  EXPECT_EQ(Created(), (std::vector<std::string>{root + "\\Programme", root + "\\Programme\\Beispiel", path}));
  EXPECT_EQ(CurrentDirectory(), before);

  // A path that exists already creates nothing and reports it.
  EXPECT_FALSE(CreateDirectoryTree(path.c_str()));
  EXPECT_EQ(CreatedDirectoryCount, 0);
  // One new level below an existing folder.
  EXPECT_TRUE(CreateDirectoryTree((path + "\\Neu").c_str()));
  EXPECT_EQ(Created(), std::vector<std::string>{path + "\\Neu"});
  EXPECT_FALSE(CreateDirectoryTree(""));
  EXPECT_FALSE(CreateDirectoryTree("\\\\"));
}

TEST(CreateDirectoryTree, RelativePathsGrowBelowTheCurrentDirectory) {
  std::string root = Fresh("fs-relative");
  ASSERT_TRUE(ui::MakeFolders(root + "\\a"));
  std::string before = CurrentDirectory();
  ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
  // "a" exists; each later prefix must still be looked up from the root, not from "a".
  EXPECT_TRUE(CreateDirectoryTree("a\\b\\c"));
  EXPECT_TRUE(IsFolder(root + "\\a\\b\\c"));
  EXPECT_FALSE(IsFolder(root + "\\a\\a"));
  EXPECT_EQ(CurrentDirectory(), root);
  SetCurrentDirectoryA(before.c_str());
}

TEST(CreateDirectoryTree, ALevelThatCannotBeCreatedStopsTheWalk) {
  std::string root = Fresh("fs-blocked");
  ASSERT_TRUE(ui::MakeFolders(root));
  ASSERT_TRUE(ui::WriteFile(root + "\\Datei", "kein Ordner"));
  // A file where a folder should be.
  EXPECT_FALSE(CreateDirectoryTree((root + "\\Datei\\Unter").c_str()));
  EXPECT_EQ(CreatedDirectoryCount, 0);
  EXPECT_FALSE(IsFolder(root + "\\Datei\\Unter"));
  // A name no folder can have: the level before it was made and stays listed.
  EXPECT_FALSE(CreateDirectoryTree((root + "\\Neu\\a|b\\c").c_str()));
  EXPECT_EQ(Created(), std::vector<std::string>{root + "\\Neu"});
  EXPECT_TRUE(IsFolder(root + "\\Neu"));
}

TEST(CreateDirectoryTree, MoreMissingLevelsThanTheListHoldsCreateNothing) {
  std::string root = Fresh("fs-deep");
  ASSERT_TRUE(ui::MakeFolders(root));
  std::string forty = root, fortyOne = root;
  for (int i = 0; i < kMaxCreatedDirectories; ++i) forty += "\\d";
  fortyOne = forty + "\\e";
  EXPECT_FALSE(CreateDirectoryTree(fortyOne.c_str()));
  EXPECT_FALSE(IsFolder(root + "\\d"));  // refused before anything was made
  EXPECT_EQ(CreatedDirectoryCount, 0);

  EXPECT_TRUE(CreateDirectoryTree(forty.c_str()));
  EXPECT_EQ(CreatedDirectoryCount, kMaxCreatedDirectories);
  EXPECT_TRUE(IsFolder(forty));
  EXPECT_EQ(std::string(CreatedDirectories[kMaxCreatedDirectories - 1]), forty);
  // With the forty in place, the one more level is fine.
  EXPECT_TRUE(CreateDirectoryTree(fortyOne.c_str()));
  EXPECT_EQ(Created(), std::vector<std::string>{fortyOne});
}

TEST(CreateDirectoryTree, LogsItsFoldersDeepestFirstOnceTheLogIsOpen) {
  std::string root = Fresh("fs-log");
  ASSERT_TRUE(ui::MakeFolders(root));
  CopyText(InstallDir, root.c_str());
  char logName[kLogNameChars];
  ASSERT_TRUE(OpenSetupLog(logName));
  EXPECT_TRUE(CreateDirectoryTree((root + "\\Eins\\Zwei").c_str()));
  CloseSetupLog();
  std::string log;
  ASSERT_TRUE(ui::ReadFile(logName, &log));
  EXPECT_EQ(log, "CreatedDir:" + root + "\\Eins\\Zwei\r\nCreatedDir:" + root + "\\Eins\r\n");
}

}  // namespace
