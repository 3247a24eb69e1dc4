// Reading the install script into the option tree: section naming and nesting, companions,
// record arrays and their limits, disk labels, and the record kinds' fields.
#include <gtest/gtest.h>

#include <string>

#include "host_platform.h"
#include "script/reader.h"
#include "script/record_parsers.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"

namespace {

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  }
  void TearDown() override { ArenaRelease(); }

  Option* Read(const std::string& script) {
    HostLoadScript(script);
    return ReadOptionList("Section", nullptr, 0);
  }
};

int Count(const Option* o) {
  int n = 0;
  for (; o; o = o->NextSibling) ++n;
  return n;
}

TEST_F(ReaderTest, GapInTheNumberingEndsTheList) {
  Option* root = Read("[Section1]\nName=Eins\n[Section2]\nName=Zwei\n[Section4]\nName=Vier\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Count(root), 2);
  EXPECT_STREQ(root->NextSibling->Name, "Zwei");
}

TEST_F(ReaderTest, SectionWithoutKeysCountsAsAbsent) {
  EXPECT_EQ(Read("[Section1]\n[Section2]\nName=Zwei\n"), nullptr);
  Option* root = Read("[Section1]\nName=Eins\n[Section2]\n[Section3]\nName=Drei\n");
  EXPECT_EQ(Count(root), 1);
}

TEST_F(ReaderTest, SectionNamesIgnoreCase) {
  Option* root = Read("[SECTION1]\nNAME=Eins\ninstall=1\n");
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->Name, "Eins");
  EXPECT_EQ(root->Install, 1);
}

TEST_F(ReaderTest, OptionFieldsDescriptionEscapesAndDefaults) {
  Option* root = Read("[Section1]\nDescription=Zeile 1\\nZeile 2\\x\\\nName=Programm\nDestination=Prog\n");
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->Description, "Zeile 1\nZeile 2");
  EXPECT_STREQ(root->Destination, "Prog");
  EXPECT_EQ(root->Install, 0);
  EXPECT_EQ(root->Parent, nullptr);
  EXPECT_EQ(root->FileCount, 0);
  EXPECT_EQ(root->FileEntries, nullptr);
}

TEST_F(ReaderTest, SubOptionsCompanionsAndTheirLinks) {
  Option* root = Read(
      "[Section1]\nName=A\n"
      "[Section1:1]\nName=A1\n"
      "[Section1:2]\nName=A2\n"
      "[Section1:2:1]\nName=A21\n"
      "[Section1:2:1NoCopy]\nName=A21 von CD\n"
      "[Section1NoCopy]\nName=A von CD\n"
      "[Section1NoCopy1:]\nName=A von CD, Teil\n"
      "[Section1NoCopy1:1]\nName=nie gelesen\n"
      "[Section2]\nName=B\n");
  ASSERT_NE(root, nullptr);
  Option* a1 = root->FirstChild;
  ASSERT_NE(a1, nullptr);
  EXPECT_STREQ(a1->Name, "A1");
  EXPECT_EQ(a1->Parent, root);
  Option* a2 = a1->NextSibling;
  ASSERT_NE(a2, nullptr);
  Option* a21 = a2->FirstChild;
  ASSERT_NE(a21, nullptr);
  EXPECT_STREQ(a21->Name, "A21");
  ASSERT_NE(a21->NoCopyNode, nullptr);
  EXPECT_STREQ(a21->NoCopyNode->Name, "A21 von CD");
  EXPECT_EQ(a21->NoCopyNode->Parent, a21);

  Option* companion = root->NoCopyNode;
  ASSERT_NE(companion, nullptr);
  EXPECT_STREQ(companion->Name, "A von CD");
  EXPECT_EQ(companion->Parent, root);
  EXPECT_EQ(companion->NoCopyNode, nullptr);
  // The companion's only sub-option is read in single mode, so "...NoCopy1:1" is not.
  ASSERT_NE(companion->FirstChild, nullptr);
  EXPECT_STREQ(companion->FirstChild->Name, "A von CD, Teil");
  EXPECT_EQ(companion->FirstChild->NextSibling, nullptr);
  EXPECT_EQ(companion->FirstChild->FirstChild, nullptr);

  // A companion continues with the option after its own.
  ASSERT_NE(root->NextSibling, nullptr);
  EXPECT_STREQ(root->NextSibling->Name, "B");
  EXPECT_EQ(companion->NextSibling, root->NextSibling);
}

TEST_F(ReaderTest, SingleModeReadsTheStemItself) {
  HostLoadScript("[AutoRun]\nName=Autostart\nFileCount=1\nFile1=1,,a.exe,,$(AppPath),,,,10\n"
                 "[AutoRun1:]\nName=Teil\n[AutoRun1]\nName=nicht\n[AutoRunNoCopy]\nName=nicht\n");
  Option* autorun = ReadOptionList("AutoRun", nullptr, 1);
  ASSERT_NE(autorun, nullptr);
  EXPECT_STREQ(autorun->Name, "Autostart");
  EXPECT_EQ(autorun->FileCount, 1);
  EXPECT_EQ(autorun->NextSibling, nullptr);
  EXPECT_EQ(autorun->NoCopyNode, nullptr);
  ASSERT_NE(autorun->FirstChild, nullptr);
  EXPECT_STREQ(autorun->FirstChild->Name, "Teil");
}

TEST_F(ReaderTest, RecordArraysKeepEverySlotInOrder) {
  Option* root = Read(
      "[Section1]\nName=A\nFileCount=3\n"
      "File1=1,,eins.exe,,$(AppPath),,,,10\n"
      "File3=1,,drei.exe,,$(AppPath),,,,30\n"
      "RegisterKeyCount=2\n"
      "RegisterKey2=HKEY_CURRENT_USER,Software\\Beispiel,Standard,Pfad,$(AppPath)\n"
      "LinkCount=1\nLink1=$(AppPath)\\eins.exe,$(Link)\\Eins.lnk\n"
      "IniCount=1\nIni1=beispiel.ini,Optionen,Pfad,\"a,b\"\n"
      "RegisterFileTypeCount=-4\n");
  ASSERT_NE(root, nullptr);
  ASSERT_EQ(root->FileCount, 3);
  EXPECT_EQ(root->FileEntries[0].Number, 1);
  EXPECT_EQ(root->FileEntries[1].Number, 0);  // missing key: the slot stays zero
  EXPECT_STREQ(root->FileEntries[1].SourceName, "");
  EXPECT_EQ(root->FileEntries[2].Size, 30);
  ASSERT_EQ(root->RegisterKeyCount, 2);
  EXPECT_EQ(root->RegisterKeys[0].Root, 0u);
  EXPECT_EQ(root->RegisterKeys[1].Root, kRootCurrentUser);
  EXPECT_STREQ(root->RegisterKeys[1].ValueData, "$(AppPath)");  // expanded only when applied
  ASSERT_EQ(root->LinkCount, 1);
  EXPECT_STREQ(root->Links[0].LinkFile, "$(Link)\\Eins.lnk");
  ASSERT_EQ(root->IniCount, 1);
  EXPECT_STREQ(root->Inis[0].IniValue, "a,b");
  EXPECT_EQ(root->RegisterFileTypeCount, 0);
  EXPECT_EQ(root->RegisterFileTypes, nullptr);
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ReaderTest, AbsurdCountShowsIncreaseMemAndLeavesTheArrayEmpty) {
  Option* root = Read("[Section1]\nName=A\nFileCount=2000000000\nLinkCount=1\nLink1=a,b\n[Section2]\nName=B\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->FileCount, 0);
  EXPECT_EQ(root->FileEntries, nullptr);
  EXPECT_EQ(root->LinkCount, 1);  // reading goes on
  EXPECT_EQ(Count(root), 2);
  ASSERT_EQ(HostBoxes.size(), 1u);
  EXPECT_EQ(HostBoxes[0].Text, "IncreaseMem");
  EXPECT_LT(ArenaTotalBytes(), 1000000u);
}

TEST_F(ReaderTest, TenThousandFileEntriesInAHundredOptions) {
  std::string script;
  for (int s = 1; s <= 100; ++s) {
    script += "[Section" + std::to_string(s) + "]\nName=Teil " + std::to_string(s) + "\nFileCount=100\n";
    for (int f = 1; f <= 100; ++f)
      script += "File" + std::to_string(f) + "=1,,d" + std::to_string(f) + ".dat,,$(AppPath),,,,100\n";
  }
  Option* root = Read(script);
  EXPECT_EQ(Count(root), 100);
  int entries = 0;
  for (Option* o = root; o; o = o->NextSibling)
    for (int i = 0; i < o->FileCount; ++i) entries += o->FileEntries[i].Size == 100;
  EXPECT_EQ(entries, 10000);
  EXPECT_TRUE(HostBoxes.empty());
}

TEST_F(ReaderTest, DiskLabelsCostTheirSpacePerOptionAndAreClamped) {
  HostLoadScript("[Disks]\nDiskCount=3\nDisk1=CD 1\nDisk3=CD 3\n[Section1]\nName=A\n");
  size_t before = ArenaRemaining();
  ReadDiskLabels();
  EXPECT_EQ(before - ArenaRemaining(), 300u);
  EXPECT_EQ(DiskCount, 3);
  EXPECT_STREQ(DiskLabels[0], "CD 1");
  EXPECT_STREQ(DiskLabels[1], "");
  EXPECT_STREQ(DiskLabels[2], "CD 3");

  HostLoadScript("[Disks]\nDiskCount=2000000000\n");
  before = ArenaRemaining();
  ReadDiskLabels();
  EXPECT_EQ(DiskCount, kMaxDiskLabels);
  HostLoadScript("[Disks]\nDiskCount=-5\n");
  ReadDiskLabels();
  EXPECT_EQ(DiskCount, 0);
}

TEST_F(ReaderTest, DeepChainStopsAtTheNestingBound) {
  std::string script, name = "Section1";
  for (int level = 0; level < 200; ++level) {
    script += "[" + name + "]\nName=L" + std::to_string(level) + "\n";
    name += ":1";
  }
  Option* option = Read(script);
  int depth = 0;
  for (; option; option = option->FirstChild) ++depth;
  EXPECT_EQ(depth, kMaxOptionDepth + 1);
}

TEST_F(ReaderTest, SectionNameThatDoesNotFitCountsAsAbsent) {
  // A stem so long that the numbered name no longer fits: nothing is read for it.
  std::string stem(kSectionNameChars - 1, 'S');
  // Cut to the buffer, the name "stem1" would become "stem" itself, which exists.
  HostLoadScript("[" + stem + "]\nName=gekappt\n");
  EXPECT_EQ(ReadOptionList(stem.c_str(), nullptr, 0), nullptr);
}

TEST_F(ReaderTest, SuccessRunList) {
  HostLoadScript("[SuccessRun]\nSuccessRunCount=2\nSuccessRun1=$(AppPath)\\Start.exe,\"-a,b\",Programm &starten\n");
  ReadSuccessRunList();
  EXPECT_EQ(SuccessRunCount, 2);
  ASSERT_NE(SuccessRuns, nullptr);
  EXPECT_STREQ(SuccessRuns[0].RunArguments, "-a,b");
  EXPECT_STREQ(SuccessRuns[0].RunCaption, "Programm &starten");
  EXPECT_STREQ(SuccessRuns[1].RunProgram, "");

  HostLoadScript("[Settings]\nMessage=x\n");
  ReadSuccessRunList();
  EXPECT_EQ(SuccessRunCount, 0);
  EXPECT_EQ(SuccessRuns, nullptr);
}

TEST(RecordParsers, RegisterKeyRootsAreCaseSensitiveAndFieldsAreCut) {
  RegisterKeyRecord key;
  ParseRegisterKey("hkey_local_machine,Software\\X,,,", &key);
  EXPECT_EQ(key.Root, 0u);
  EXPECT_EQ(key.TooLong, 0);
  ParseRegisterKey(("HKEY_LOCAL_MACHINE," + std::string(99, 'k') + ",def").c_str(), &key);
  EXPECT_EQ(key.TooLong, 0);  // exactly the width fits
  std::string longPath(150, 'k');
  ParseRegisterKey(("HKEY_LOCAL_MACHINE," + longPath + ",def").c_str(), &key);
  EXPECT_EQ(key.Root, kRootLocalMachine);
  EXPECT_EQ(std::string(key.KeyPath), longPath.substr(0, 99));
  EXPECT_EQ(key.TooLong, 1);  // the record is refused when applied
  EXPECT_STREQ(key.DefaultValue, "def");
  EXPECT_STREQ(key.ValueName, "");
  EXPECT_EQ(RootKeyFromName("HKEY_DYN_DATA"), kRootDynData);
  EXPECT_EQ(RootKeyFromName("HKEY_CLASSES_ROOT"), kRootClassesRoot);
}

TEST(RecordParsers, FileTypeEntriesUpToTen) {
  std::string value = ".abcdefghijkl,Beispiel.Datei.mit.einem.sehr.langen.Namen.x,Beispieldatei";
  for (int i = 0; i < 12; ++i) value += ",shell\\v" + std::to_string(i) + ",def,name,data";
  FileTypeRecord type;
  ParseFileType(value.c_str(), &type);
  EXPECT_STREQ(type.Extension, ".abcdefgh");
  EXPECT_EQ(std::string(type.TypeName).size(), 39u);
  EXPECT_EQ(type.TooLong, 1);
  EXPECT_STREQ(type.Entries[9].SubKey, "shell\\v9");
  EXPECT_STREQ(type.Entries[9].SubValueData, "data");

  ParseFileType(".abc,Typ,Beschreibung,", &type);
  EXPECT_STREQ(type.Entries[0].SubKey, "");
  EXPECT_EQ(type.TooLong, 0);
  LinkRecord link;
  ParseLink(("$(AppPath)\\" + std::string(250, 'p') + ".exe,$(Link)\\a.lnk").c_str(), &link);
  EXPECT_EQ(link.TooLong, 1);
  ParseFileType(".abc,Typ,Beschreibung,shell\\open\\command,\"start.exe %1\",,", &type);
  EXPECT_STREQ(type.Entries[0].SubKeyDefault, "start.exe %1");
  EXPECT_STREQ(type.Entries[1].SubKey, "");
}

}  // namespace
