// The script reader against real files through the platform's profile functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "box_watcher.h"
#include "script/fields.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"

namespace {

class ReaderWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ui::JoinPath(ui::TestRoot(), "reader");
    ui::RemoveTree(folder_);
    ASSERT_TRUE(ui::MakeFolders(folder_));
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  }
  void TearDown() override { ArenaRelease(); }

  Option* Read(const std::string& script) {
    std::string path = ui::JoinPath(folder_, "setup.lst");
    EXPECT_TRUE(ui::WriteFile(path, script));
    CopyText(ScriptPath, path.c_str());
    return ReadOptionList("Section", nullptr, 0);
  }

  std::string folder_;
};

TEST_F(ReaderWinTest, NumberingGapsEmptySectionsAndNesting) {
  Option* root = Read(
      "[Section1]\r\nName=Programm\r\nInstall=1\r\n"
      "[Section1:1]\r\nName=Daten\r\nDestination=Daten\r\n"
      "[Section1:1:1]\r\nName=Beispiele\r\n"
      "[Section1:1:1NoCopy]\r\nName=Beispiele von CD\r\n"
      "[Section1:1:1NoCopy1:]\r\nName=Teil\r\n"
      "[Section2]\r\n"
      "[Section3]\r\nName=nach der Lücke\r\n");
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->Name, "Programm");
  EXPECT_EQ(root->NextSibling, nullptr);  // Section2 has no keys: the list ends there
  Option* beispiele = root->FirstChild->FirstChild;
  ASSERT_NE(beispiele, nullptr);
  ASSERT_NE(beispiele->NoCopyNode, nullptr);
  EXPECT_STREQ(beispiele->NoCopyNode->Name, "Beispiele von CD");
  ASSERT_NE(beispiele->NoCopyNode->FirstChild, nullptr);
  EXPECT_STREQ(beispiele->NoCopyNode->FirstChild->Name, "Teil");
}

TEST_F(ReaderWinTest, PlatformRemovesOneEnclosingPairOfQuotes) {
  Option* root = Read("[Section1]\r\nName=\"  Programm  \"\r\nLinkCount=1\r\nLink1=\"a\",\"b\"\r\n");
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->Name, "  Programm  ");
  // "a","b" arrives as a","b: one field a,b and no second one.
  EXPECT_STREQ(root->Links[0].LinkTarget, "a,b");
  EXPECT_STREQ(root->Links[0].LinkFile, "");

  char value[64];
  ReadScriptString("Section1", "Link1", value, sizeof value);
  EXPECT_STREQ(value, "a\",\"b");
}

TEST_F(ReaderWinTest, OverLongFieldsAreCutToTheirRecord) {
  std::string description(700, 'd'), name(400, 'n'), longField(1500, 'x');
  Option* root = Read("[Section1]\r\nDescription=" + description + "\r\nName=" + name +
                      "\r\nIniCount=1\r\nIni1=" + longField + ",Abschnitt\r\n"
                      "RegisterKeyCount=1\r\nRegisterKey1=HKEY_CURRENT_USER," + longField + "\r\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(strlen(root->Description), 519u);
  EXPECT_EQ(strlen(root->Name), 259u);
  EXPECT_EQ(strlen(root->Inis[0].IniFile), 259u);
  // The value itself is read into 1024 characters, so the second field is beyond it.
  EXPECT_STREQ(root->Inis[0].IniSection, "");
  EXPECT_EQ(strlen(root->RegisterKeys[0].KeyPath), 99u);
}

TEST_F(ReaderWinTest, ExhaustedArenaShowsIncreaseMemWithoutTouchingTheMissingRecords) {
  ui::BoxWatcher watcher;
  Option* root = Read("[Section1]\r\nName=A\r\nFileCount=2000000000\r\nRegisterKeyCount=1\r\n"
                      "RegisterKey1=HKEY_CURRENT_USER,Software\\Beispiel\r\n[Section2]\r\nName=B\r\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->FileCount, 0);
  EXPECT_EQ(root->FileEntries, nullptr);
  EXPECT_EQ(root->RegisterKeyCount, 1);
  ASSERT_NE(root->NextSibling, nullptr);
  EXPECT_STREQ(root->NextSibling->Name, "B");
  auto boxes = watcher.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "IncreaseMem");
  EXPECT_EQ(boxes[0].Caption, "");
}

TEST_F(ReaderWinTest, SingleModeReadsTheStemAndItsOnlySubOption) {
  Read("[AutoRun]\r\nName=Autostart\r\nFileCount=1\r\nFile1=1,,start.exe,,$(AppPath),,,,10\r\n"
       "[autorun1:]\r\nName=Teil\r\n[AutoRun1:1]\r\nName=nie\r\n[AutoRun2]\r\nName=nie\r\n"
       "[AutoRunNoCopy]\r\nName=nie\r\n");
  Option* autorun = ReadOptionList("AutoRun", nullptr, 1);
  ASSERT_NE(autorun, nullptr);
  EXPECT_STREQ(autorun->Name, "Autostart");
  EXPECT_STREQ(autorun->FileEntries[0].SourceName, "start.exe");
  EXPECT_EQ(autorun->NextSibling, nullptr);
  EXPECT_EQ(autorun->NoCopyNode, nullptr);
  ASSERT_NE(autorun->FirstChild, nullptr);
  EXPECT_STREQ(autorun->FirstChild->Name, "Teil");
  EXPECT_EQ(autorun->FirstChild->FirstChild, nullptr);
  EXPECT_EQ(autorun->FirstChild->NextSibling, nullptr);
}

TEST_F(ReaderWinTest, MissingScriptReadsAsEmpty) {
  CopyText(ScriptPath, ui::JoinPath(folder_, "fehlt.lst").c_str());
  EXPECT_EQ(ReadOptionList("Section", nullptr, 0), nullptr);
}

}  // namespace
