// Reading SETUP.LST: the profile rules over whole sections, the option tree the reader builds,
// a script of 100,000 entries, and an arena that runs out.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "host_platform.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"

namespace {

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  }
  void TearDown() override {
    ArenaRelease();
    EXPECT_EQ(HostBlockCount, 0u) << "arena blocks leaked";
  }
  Option* Read(const std::string& script) {
    HostLoadScript(script);
    return ReadOptionList("Section", nullptr, 0);
  }
};

std::string Value(const char* section, const char* key, size_t size = 100) {
  std::string buffer(size + 1, '#');
  size_t n = ReadScriptString(section, key, buffer.data(), size);
  EXPECT_EQ(buffer[size], '#') << "wrote past the buffer: " << key;
  return buffer.substr(0, n);
}

int Count(const Option* o) {
  int n = 0;
  for (; o; o = o->NextSibling) ++n;
  return n;
}

std::string Entries(int section, int count, int size) {
  std::string text = "[Section" + std::to_string(section) + "]\nInstall=1\nFileCount=" + std::to_string(count) + "\n";
  for (int f = 1; f <= count; ++f)
    text += "File" + std::to_string(f) + "=1,,d" + std::to_string(f) + ".dat,,$(AppPath),,,," + std::to_string(size) + "\n";
  return text;
}

TEST_F(ScriptTest, LargeSectionsFindTheFirstOfEveryName) {
  std::string text = "[Viele]\n";
  for (int i = 1; i <= 20000; ++i) text += "File" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  for (int i = 1; i <= 20000; i += 7) text += "FILE" + std::to_string(i) + "=spaeter\n";
  HostLoadScript(text);
  for (int i = 1; i <= 20000; ++i) ASSERT_EQ(ReadScriptInt("Viele", ("file" + std::to_string(i)).c_str()), i);
  EXPECT_EQ(Value("Viele", "File20001"), "");
}

// What only this side can show: names that the section text cannot decide go to the platform
// (the host's answers "?"), and numbers saturate where the platform's wrap.
TEST_F(ScriptTest, UndecidedNamesGoToThePlatformAndNumbersSaturate) {
  HostLoadScript("[W]\n\xc4rger=1\nbig=99999999999\nneg=-0x80000001\n");
  EXPECT_EQ(Value("W", "\xc4RGER"), "1");
  EXPECT_EQ(Value("W", "\xe4rger"), "?");
  EXPECT_EQ(Value("W", ";k"), "?");
  EXPECT_EQ(ReadScriptInt("W", "big"), INT_MAX);
  EXPECT_EQ(ReadScriptInt("W", "neg"), INT_MIN);
}

TEST_F(ScriptTest, OptionsFormATreeWithCompanionsAndRecords) {
  // A file type of exactly 1023 characters, whose last sub key's default ends the value, and
  // one character more: that one would lose the end of its command, so it counts as cut.
  std::string exact = ".abc,Typ,D";
  for (const char* key : {",k1,", ",k2,", ",k3,"}) exact += key + std::string(250, 'x') + ",,";
  exact += ",k4,";
  exact += std::string(1023 - exact.size(), 'x');
  Option* root = Read(
      "[Section1]\nName=A\nDescription=Zeile 1\\nZeile 2\\x\\\nDestination=Prog\nInstall=1\n"
      "FileCount=3\nFile1=1,,eins.exe,,$(AppPath),,,,10\nFile3=1,,drei.exe,,$(AppPath),,,,30\n"
      "RegisterKeyCount=2\nRegisterKey2=HKEY_CURRENT_USER,Software\\Beispiel,Standard,Pfad,$(AppPath)\n"
      "LinkCount=1\nLink1=$(AppPath)\\eins.exe,$(Link)\\Eins.lnk\nIniCount=1\nIni1=b.ini,Optionen,Pfad,\"a,b\"\n"
      "RegisterFileTypeCount=-4\n"
      "[Section1:1]\nName=A1\n[Section1:2]\nName=A2\n[Section1:2:1]\nName=A21\n[Section1:2:1NoCopy]\nName=A21 CD\n"
      "[Section1NoCopy]\nName=A CD\n[Section1NoCopy1:]\nName=A CD Teil\n[Section1NoCopy1:1]\nName=nie\n"
      "[Section2]\nName=B\nRegisterFileTypeCount=2\nRegisterFileType1=" + exact + "\nRegisterFileType2=" + exact +
      "x\n[Section3]\n[Section4]\nName=nach der Luecke\n");
  ASSERT_EQ(Count(root), 2);  // an empty section counts as absent and ends the list
  EXPECT_STREQ(root->Description, "Zeile 1\nZeile 2");
  Option *a1 = root->FirstChild, *a21 = a1->NextSibling->FirstChild, *cd = root->NoCopyNode;
  EXPECT_EQ(a1->Parent, root);
  EXPECT_STREQ(a21->NoCopyNode->Name, "A21 CD");
  EXPECT_EQ(a21->NoCopyNode->Parent, a21);
  EXPECT_STREQ(cd->Name, "A CD");
  EXPECT_EQ(cd->Parent, root);
  EXPECT_EQ(cd->NextSibling, root->NextSibling);  // a companion goes on with the option after its own
  ASSERT_NE(cd->FirstChild, nullptr);
  EXPECT_EQ(cd->FirstChild->NextSibling, nullptr);  // its only sub-option is read in single mode
  ASSERT_EQ(root->FileCount, 3);
  EXPECT_EQ(root->FileEntries[1].Number, 0);  // a missing key keeps its slot, zero-filled
  EXPECT_EQ(root->FileEntries[2].Size, 30);
  ASSERT_EQ(root->RegisterKeyCount, 2);
  EXPECT_EQ(root->RegisterKeys[1].Root, kRootCurrentUser);
  EXPECT_STREQ(root->RegisterKeys[1].ValueData, "$(AppPath)");  // expanded only when applied
  EXPECT_STREQ(root->Links[0].LinkFile, "$(Link)\\Eins.lnk");
  EXPECT_STREQ(root->Inis[0].IniValue, "a,b");
  EXPECT_EQ(root->RegisterFileTypeCount, 0);
  const FileTypeRecord* types = root->NextSibling->RegisterFileTypes;
  ASSERT_EQ(root->NextSibling->RegisterFileTypeCount, 2);
  EXPECT_EQ(types[0].TooLong, 0);
  EXPECT_EQ(strlen(types[0].Entries[3].SubKeyDefault), 1023 - exact.find(",k4,") - 4);
  EXPECT_EQ(types[1].TooLong, 1);
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ScriptTest, NestingStopsAtItsBound) {
  std::string script, name = "Section1";
  for (int level = 0; level < 200; ++level, name += ":1") script += "[" + name + "]\nName=L\n";
  int depth = 0;
  for (Option* o = Read(script); o; o = o->FirstChild) ++depth;
  EXPECT_EQ(depth, kMaxOptionDepth + 1);
}

TEST_F(ScriptTest, DiskLabelsAreClampedAndCostNoArenaPerOption) {
  std::string script = "[Disks]\nDiskCount=99\nDisk1=CD 1\nDisk3=CD 3\n";
  for (int s = 1; s <= 100; ++s) script += "[Section" + std::to_string(s) + "]\nName=x\n";
  Read(script);
  EXPECT_EQ(DiskCount, 99);
  EXPECT_STREQ(DiskLabels[0], "CD 1");
  EXPECT_STREQ(DiskLabels[1], "");
  EXPECT_STREQ(DiskLabels[2], "CD 3");
  EXPECT_LT(ArenaTotalBytes(), 400000u);  // 99 labels of 100 bytes per option would be 1 MB
  for (const char* count : {"2000000000", "-5"}) {
    HostLoadScript(std::string("[Disks]\nDiskCount=") + count + "\n");
    ReadDiskLabels();
    EXPECT_EQ(DiskCount, count[0] == '-' ? 0 : kMaxDiskLabels);
  }
}

TEST_F(ScriptTest, HundredThousandEntriesInAThousandSectionsAreReadWhole) {
  std::string script = "[Disks]\nDiskCount=99\n";
  for (int s = 1; s <= 1000; ++s) script += Entries(s, 100, s);
  Option* root = Read(script);
  EXPECT_EQ(Count(root), 1000);
  int64_t sizes = 0;
  for (const Option* o = root; o; o = o->NextSibling)
    for (int i = 0; i < o->FileCount; ++i) sizes += o->FileEntries[i].Size;
  EXPECT_EQ(sizes, 100LL * 1000 * 1001 / 2);
  EXPECT_FALSE(ArenaFailed());
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ScriptTest, AnArenaThatRunsOutShowsIncreaseMemOnceAndReadingStops) {
  HostBlockLimit = 4;  // the machine has no memory beyond four blocks
  std::string script;
  for (int s = 1; s <= 200; ++s) script += Entries(s, 100, 10);
  Option* root = Read(script);
  EXPECT_TRUE(ArenaFailed());
  EXPECT_LT(Count(root), 200);
  ASSERT_EQ(HostBoxes.size(), 1u);
  EXPECT_EQ(HostBoxes[0].Text, "IncreaseMem");
  EXPECT_EQ(HostBoxes[0].Caption, "");
  EXPECT_EQ(HostBoxes[0].Style, 0x10u);
  ArenaRelease();
  ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  EXPECT_FALSE(ArenaFailed());  // a new arena starts afresh
}

TEST_F(ScriptTest, ArenaRecordsNeverMoveAndAbsurdRequestsFail) {
  char* first = static_cast<char*>(ArenaAlloc(1000));
  memset(first, 'x', 1000);
  ASSERT_NE(ArenaAlloc(ArenaRemaining()), nullptr);  // exactly the rest: a new block
  EXPECT_EQ(first[999], 'x');
  EXPECT_EQ(ArenaAllocArray(INT64_MAX, 16), nullptr);
  EXPECT_EQ(HostBoxes.size(), 1u);
}

}  // namespace
