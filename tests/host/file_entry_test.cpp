// File entries: the ten fields of a File<n> value, their numbers and defaults, the
// date as a file time, the three messages, and entries kept in their slots by the reader.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "host_platform.h"
#include "script/file_entry.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/platform.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

constexpr uint64_t kDay = 864000000000ull;  // one day in 100-ns units

uint64_t FileTime(const FileEntry& e) { return static_cast<uint64_t>(e.FileTimeHigh) << 32 | e.FileTimeLow; }

FileEntry Parse(const std::string& value, FileEntryStatus expected = kEntryComplete, int n = 7) {
  FileEntry e;
  EXPECT_EQ(ParseFileEntry(value.c_str(), n, &e), expected) << value;
  return e;
}

// --- Well-formed values ------------------------------------------------------------------

TEST(FileEntryFields, WellFormedExamplesOfThePart) {
  FileEntry e = Parse("1,,prog.exe,,$(AppPath),,,5/20/1997,123456,2.0.0.17", kEntryComplete, 3);
  EXPECT_EQ(e.Number, 3);
  EXPECT_EQ(e.Disk, 1);
  EXPECT_EQ(e.Split, 0);
  EXPECT_STREQ(e.SourceName, "prog.exe");
  EXPECT_STREQ(e.TargetName, "prog.exe");
  EXPECT_EQ(e.DestKind, kDestOptionFolder);
  EXPECT_EQ(e.FileKind, kKindNone);
  EXPECT_EQ(e.Shared, 0);
  EXPECT_EQ(FileTime(e), 125085600000000000ull);  // 20 May 1997, 00:00
  EXPECT_EQ(e.Size, 123456);
  EXPECT_EQ(e.PresentSize, 0);
  EXPECT_EQ(e.VersionMS, 2u << 16);
  EXPECT_EQ(e.VersionLS, 17u);

  e = Parse("2,SPLIT,daten.cab,daten.dat,$(AppPath),,$(Shared),,1048576");
  EXPECT_EQ(e.Disk, 2);
  EXPECT_EQ(e.Split, 1);
  EXPECT_STREQ(e.SourceName, "daten.cab");
  EXPECT_STREQ(e.TargetName, "daten.dat");
  EXPECT_EQ(e.Shared, 1);
  EXPECT_EQ(FileTime(e), 0u);
  EXPECT_EQ(e.VersionMS, 0u);
  EXPECT_EQ(e.VersionLS, 0u);
}

TEST(FileEntryFields, SystemDllWithSubFolderKindAndShared) {
  FileEntry e = Parse("1,,a.dll,,$(WinSysPath)\\sub,$(DLLSelfRegister),$(Shared),,2048");
  EXPECT_EQ(e.DestKind, kDestWinSysPath);  // the sub-folder has no effect
  EXPECT_EQ(e.FileKind, kKindDllSelfRegister);
  EXPECT_EQ(e.Shared, 1);
  EXPECT_STREQ(e.TargetName, "a.dll");
  EXPECT_EQ(e.Size, 2048);
}

TEST(FileEntryFields, DiskNumberFollowsTheAtoiRule) {
  EXPECT_EQ(Parse("x,,a,,$(AppPath),,,,1").Disk, 0);
  EXPECT_EQ(Parse(",,a,,$(AppPath),,,,1").Disk, 1);
  EXPECT_EQ(Parse(" \t3b,,a,,$(AppPath),,,,1").Disk, 3);
  EXPECT_EQ(Parse("-2,,a,,$(AppPath),,,,1").Disk, -2);
  EXPECT_EQ(Parse("+4,,a,,$(AppPath),,,,1").Disk, 4);
  // Quotes group characters; they are not part of the number.
  EXPECT_EQ(Parse("\"5\",,a,,$(AppPath),,,,1").Disk, 5);
}

TEST(FileEntryFields, SplitMarkerIsExactAndCaseSensitive) {
  EXPECT_EQ(Parse("1,split,a,,$(AppPath),,,,1").Split, 0);
  EXPECT_EQ(Parse("1,SPLIT ,a,,$(AppPath),,,,1").Split, 0);
  EXPECT_EQ(Parse("1,SPLITX,a,,$(AppPath),,,,1").Split, 0);
  EXPECT_EQ(Parse("1,SPLIT,a,,$(AppPath),,,,1").Split, 1);
}

TEST(FileEntryFields, TargetNameDefaultsToSourceNameAndEmptySourcePasses) {
  EXPECT_STREQ(Parse("1,,quelle.dat,ziel.dat,$(AppPath),,,,1").TargetName, "ziel.dat");
  FileEntry e = Parse("1,,,,$(AppPath),,,,1");
  EXPECT_STREQ(e.SourceName, "");
  EXPECT_STREQ(e.TargetName, "");
  // Commas inside quotes belong to the name.
  EXPECT_STREQ(Parse("1,,\"a,b.txt\",,$(AppPath),,,,1").SourceName, "a,b.txt");
}

TEST(FileEntryFields, DestinationOnlySetsTheClass) {
  EXPECT_EQ(Parse("1,,a,,$(AppPath)\\Daten,,,,1").DestKind, kDestOptionFolder);
  EXPECT_EQ(Parse("1,,a,,$(WinPath),,,,1").DestKind, kDestWinPath);
  EXPECT_EQ(Parse("1,,a,,$(WinSysPath),,,,1").DestKind, kDestWinSysPath);
  EXPECT_EQ(Parse("1,,a,,$(NoCopy),,,,1").DestKind, kDestNoCopy);
  EXPECT_EQ(Parse("1,,a,,$(AppPath)\\$(NoCopy),,,,1").DestKind, kDestNoCopy);
  EXPECT_EQ(Parse("1,,a,,C:\\fest,,,,1").DestKind, kDestOptionFolder);
  EXPECT_EQ(Parse("1,,a,,$(Group),,,,1").DestKind, kDestOptionFolder);
  EXPECT_EQ(Parse("1,,a,,/$(WinPath),,,,1").DestKind, kDestOptionFolder);  // escaped
  // The last class met decides.
  EXPECT_EQ(Parse("1,,a,,$(NoCopy)$(WinSysPath),,,,1").DestKind, kDestWinSysPath);
  EXPECT_EQ(Parse("1,,a,,$(WinSysPath)$(AppPath),,,,1").DestKind, kDestOptionFolder);
  EXPECT_EQ(Parse("1,,a,,$$(NoCopy),,,,1").DestKind, kDestOptionFolder);  // "$$" is a dollar sign
  // The class is the field's own, however long the folders its placeholders stand for.
  CopyText(InstallDir, ("C:\\" + std::string(256, 'i')).c_str());
  EXPECT_EQ(Parse("1,,a,,$(AppPath)\\$(NoCopy),,,,1").DestKind, kDestNoCopy);
  EXPECT_EQ(Parse("1,,a,,$(AppPath)$(AppPath)$(WinPath),,,,1").DestKind, kDestWinPath);
  InstallDir[0] = 0;
}

TEST(FileEntryFields, KindKeywordIsAPrefixTestInOrder) {
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(DLLSelfRegister),,,1").FileKind, kKindDllSelfRegister);
  // The name decides, with or without its closing parenthesis.
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(DLLSelfRegisterX),,,1").FileKind, kKindDllSelfRegister);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(DLLSelfRegister) extra,,,1").FileKind, kKindDllSelfRegister);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(RemoteServer),,,1").FileKind, kKindRemote);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(DLLSelfRegiste),,,1").FileKind, kKindOther);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(EXESelfRegister),,,1").FileKind, kKindExeSelfRegister);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(Remote),,,1").FileKind, kKindRemote);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),$(KRVRegister),,,1").FileKind, kKindProductData);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,1").FileKind, kKindNone);
  FileEntry e = Parse("1,,a,,$(AppPath),regsvr,,,1");
  EXPECT_EQ(e.FileKind, kKindOther);
  EXPECT_STREQ(e.KindText, "regsvr");
  e = Parse("1,,a,,$(AppPath),$(dllselfregister),,,1");
  EXPECT_EQ(e.FileKind, kKindOther);
  EXPECT_STREQ(e.KindText, "$(dllselfregister)");
  EXPECT_STREQ(Parse("1,,a,,$(AppPath),$(Remote),,,1").KindText, "");
}

TEST(FileEntryFields, SharedMarkerIsAPrefix) {
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,$(Shared)x,,1").Shared, 1);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,$(shared),,1").Shared, 0);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),, $(Shared),,1").Shared, 0);
}

TEST(FileEntryFields, OverLongFieldsAreCutToTheirBuffers) {
  std::string name(400, 'n'), kind(300, 'k');
  FileEntry e = Parse("1,," + name + ",," + "$(AppPath)," + kind + ",,,1,1.2");
  EXPECT_EQ(std::string(e.SourceName), name.substr(0, kPathChars - 1));
  EXPECT_EQ(std::string(e.TargetName), name.substr(0, kPathChars - 1));
  EXPECT_EQ(std::string(e.KindText), kind.substr(0, kPathChars - 1));
  EXPECT_EQ(e.Size, 1);
  EXPECT_EQ(e.VersionMS, 1u << 16 | 2);
}

// --- Size ---------------------------------------------------------------------------------

TEST(FileEntrySize, ZeroNegativeMissingOrNotANumberGiveTheSizeMessage) {
  for (const char* value : {"1,,a,,$(AppPath),,,,0", "1,,a,,$(AppPath),,,,-5", "1,,a,,$(AppPath),,,,",
                            "1,,a,,$(AppPath),,,", "1,,a,,$(AppPath)", "1,,a,,$(AppPath),,,,zwei"})
    Parse(value, kEntryBadSize);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,-5", kEntryBadSize).Size, -5);  // kept as read
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,, 12abc").Size, 12);
}

TEST(FileEntrySize, SizesPastTwoGigabytesAreReadWholeAndAbsurdOnesSaturate) {
  // A DVD-sized file: 5 GB and 4 GB + 100 bytes are what they say, not what 32 bits make of them.
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,5000000000").Size, 5000000000LL);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,4294967396").Size, 4294967396LL);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,2147483648").Size, 2147483648LL);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,," + std::string(200, '9')).Size, INT64_MAX);
  // A huge negative number stays negative and is refused, never wrapping to a valid size.
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,-18446744073709551615", kEntryBadSize).Size, INT64_MIN);
  EXPECT_EQ(Parse("1,,a,,$(AppPath),,,,-4294967295", kEntryBadSize).Size, -4294967295LL);
}

TEST(FileEntrySize, BadSizeKeepsFieldsOneToEight) {
  FileEntry e = Parse("2,SPLIT,q,z,$(WinPath),$(Remote),$(Shared),12/31/1997,0,1.2.3.4", kEntryBadSize);
  EXPECT_EQ(e.Disk, 2);
  EXPECT_EQ(e.Split, 1);
  EXPECT_STREQ(e.TargetName, "z");
  EXPECT_EQ(e.DestKind, kDestWinPath);
  EXPECT_EQ(e.FileKind, kKindRemote);
  EXPECT_EQ(e.Shared, 1);
  EXPECT_EQ(FileTime(e), 125280000000000000ull);
  EXPECT_EQ(e.VersionMS, 0u);  // not read after a failed check
}

// --- Version ------------------------------------------------------------------------------

TEST(FileEntryVersion, MissingPartsGiveZero) {
  FileEntry e = Parse("1,,a,,$(AppPath),,,,1,4.71");
  EXPECT_EQ(e.VersionMS, 4u * 65536 + 71);
  EXPECT_EQ(e.VersionLS, 0u);
  e = Parse("1,,a,,$(AppPath),,,,1,");  // ends after the size: no version field
  EXPECT_EQ(e.VersionMS, 0u);
  e = Parse("1,,a,,$(AppPath),,,,1,,");
  EXPECT_EQ(e.VersionMS, 0u);
  e = Parse("1,,a,,$(AppPath),,,,1,x.2. 3.4.5");
  EXPECT_EQ(e.VersionMS, 2u);
  EXPECT_EQ(e.VersionLS, 3u << 16 | 4);
}

TEST(FileEntryVersion, EachPartIsTakenModulo65536) {
  FileEntry e = Parse("1,,a,,$(AppPath),,,,1,65536.65537.70000.-1");
  EXPECT_EQ(e.VersionMS, 0u << 16 | 1u);  // 65537 does not carry into the first part
  EXPECT_EQ(e.VersionLS, (70000u - 65536u) << 16 | 65535u);
  e = Parse("1,,a,,$(AppPath),,,,1,99999999999.-99999999999.65535.65535");
  EXPECT_EQ(e.VersionMS, (2147483647u & 0xFFFF) << 16 | 0u);  // saturated, then cut
  EXPECT_EQ(e.VersionLS, 0xFFFFFFFFu);
}

// --- Date -----------------------------------------------------------------------------------

TEST(FileEntryDate, MonthDayYearBecomesTheFileTimeAtMidnight) {
  EXPECT_EQ(FileTime(Parse("1,,a,,$(AppPath),,,12/31/1997,1")), 125280000000000000ull);
  EXPECT_EQ(FileTime(Parse("1,,a,,$(AppPath),,, 1/ 1/ 1970,1")), 116444736000000000ull);
  EXPECT_EQ(FileTime(Parse("1,,a,,$(AppPath),,,2/29/2000x,1")), 125962560000000000ull);
}

TEST(FileEntryDate, InvalidOrIncompleteDatesGiveZero) {
  for (const char* date : {"1997", "12/31", "5/20/97", "0/20/1997", "13/1/1997", "2/29/1997", "2/29/1900",
                           "4/31/1997", "1/0/1997", "x/1/1997", "1-1-1997", "1/1/1600", "1/1/30828", "-1/1/1997"})
    EXPECT_EQ(FileTime(Parse(std::string("1,,a,,$(AppPath),,,") + date + ",1")), 0u) << date;
}

TEST(FileEntryDate, FieldIsCutAtThirtyNineCharacters) {
  // With the zeros the year field would still read 1997; the cut leaves only zeros.
  std::string zeros(34, '0');
  EXPECT_EQ(FileTime(Parse("1,,a,,$(AppPath),,,5/20/" + zeros + "1997,1")), 0u);
  EXPECT_EQ(FileTime(Parse("1,,a,,$(AppPath),,,5/20/" + zeros.substr(4) + "1997,1")), 125085600000000000ull);
}

TEST(DateToFileTime, CalendarArithmetic) {
  EXPECT_EQ(DateToFileTime(1601, 1, 1), 0u);  // valid, and still 0
  EXPECT_EQ(DateToFileTime(1601, 1, 2), kDay);
  EXPECT_EQ(DateToFileTime(1970, 1, 1), 116444736000000000ull);
  EXPECT_EQ(DateToFileTime(2000, 3, 1) - DateToFileTime(2000, 2, 28), 2 * kDay);
  EXPECT_EQ(DateToFileTime(1900, 3, 1) - DateToFileTime(1900, 2, 28), kDay);
  EXPECT_EQ(DateToFileTime(2004, 1, 1) - DateToFileTime(2003, 1, 1), 365 * kDay);
  EXPECT_EQ(DateToFileTime(2001, 1, 1) - DateToFileTime(2000, 1, 1), 366 * kDay);
  EXPECT_EQ(DateToFileTime(2101, 1, 1) - DateToFileTime(2001, 1, 1), 36524 * kDay);
  // The last year of the platform's range (value from SystemTimeToFileTime).
  EXPECT_EQ(DateToFileTime(30827, 1, 1), 0x7FFE172377A5C000ull);
  EXPECT_EQ(DateToFileTime(30827, 12, 31) - DateToFileTime(30827, 1, 1), 364 * kDay);
}

TEST(DateToFileTime, PartsAreSixteenBitFieldsOfTheDate) {
  // A date structure holds 16 bits per part: 65541 lands as 5, 67533 as 1997.
  EXPECT_EQ(DateToFileTime(1997, 65541, 20), DateToFileTime(1997, 5, 20));
  EXPECT_EQ(DateToFileTime(67533, 5, 20), DateToFileTime(1997, 5, 20));
  EXPECT_EQ(DateToFileTime(1997, 5, 65536 + 20), DateToFileTime(1997, 5, 20));
  EXPECT_EQ(DateToFileTime(1997, -1, 20), 0u);
  EXPECT_EQ(DateToFileTime(40000, 1, 1), 0u);  // a negative year once signed
  EXPECT_EQ(DateToFileTime(INT_MAX, INT_MAX, INT_MAX), 0u);
  EXPECT_EQ(DateToFileTime(INT_MIN, INT_MIN, INT_MIN), 0u);
  EXPECT_EQ(FileTime(Parse("1,,a,,$(AppPath),,,65541/20/1997,1")), 125085600000000000ull);
}

// --- Missing fields -----------------------------------------------------------------------

TEST(FileEntryChecks, EmptyValueLeavesTheWholeEntryZero) {
  FileEntry e = Parse("", kEntryEmpty);
  EXPECT_EQ(e.Number, 0);
  EXPECT_EQ(e.Disk, 0);
  EXPECT_STREQ(e.SourceName, "");
}

TEST(FileEntryChecks, NoThirdFieldSetsOnlyNumberDiskAndSplit) {
  FileEntry e = Parse("3,SPLIT", kEntryNoSource);
  EXPECT_EQ(e.Number, 7);
  EXPECT_EQ(e.Disk, 3);
  EXPECT_EQ(e.Split, 1);
  EXPECT_STREQ(e.SourceName, "");
  Parse("3,SPLIT,", kEntryNoSource);  // a trailing comma opens no field
  Parse("3", kEntryNoSource);
  Parse(",", kEntryNoSource);
}

TEST(FileEntryChecks, MissingOrEmptyDestinationKeepsFieldsOneToFour) {
  FileEntry e = Parse("1,,q.dat,z.dat", kEntryNoDestination);
  EXPECT_STREQ(e.SourceName, "q.dat");
  EXPECT_STREQ(e.TargetName, "z.dat");
  EXPECT_STREQ(Parse("1,,q.dat", kEntryNoDestination).TargetName, "q.dat");
  e = Parse("1,,q.dat,,,$(Remote),$(Shared),1/1/1997,10", kEntryNoDestination);
  EXPECT_EQ(e.FileKind, 0);
  EXPECT_EQ(e.Shared, 0);
  EXPECT_EQ(e.Size, 0);
  // A destination that expands to nothing is not empty.
  Parse("1,,q.dat,,$(NoCopy),,,,1");
}

// --- Messages -----------------------------------------------------------------------------

class ReadFileEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { HostResetPlatform(); }
  void TearDown() override { ArenaRelease(); }
};

TEST_F(ReadFileEntryTest, EachFailedCheckShowsItsMessageWithSectionAndNumber) {
  HostLoadScript(
      "[Section2:1]\nFile1=1\nFile2=1,,a.dat\nFile3=1,,a.dat,,$(AppPath),,,,0\nFile4=1,,a.dat,,$(AppPath),,,,5\n"
      "File5=\n");
  FileEntry e;
  EXPECT_EQ(ReadFileEntry("Section2:1", 1, &e), 0);
  EXPECT_EQ(ReadFileEntry("Section2:1", 2, &e), 0);
  EXPECT_EQ(ReadFileEntry("Section2:1", 3, &e), 0);
  EXPECT_EQ(ReadFileEntry("Section2:1", 4, &e), 1);
  EXPECT_EQ(ReadFileEntry("Section2:1", 5, &e), 0);
  EXPECT_EQ(ReadFileEntry("Section2:1", 6, &e), 0);
  EXPECT_EQ(e.Number, 0);  // missing key: no message, entry zero
  ASSERT_EQ(HostBoxes.size(), 3u);
  EXPECT_EQ(HostBoxes[0].Text, "Fehlende Quelldatei in [Section2:1] File1");
  EXPECT_EQ(HostBoxes[0].Caption, "");
  EXPECT_EQ(HostBoxes[1].Text, "Fehlendes Zielverzeichnis in [Section2:1] File2");
  EXPECT_EQ(HostBoxes[1].Caption, "");
  EXPECT_EQ(HostBoxes[2].Text, "Fehlende oder ungültige Dateigröße in [Section2:1] File3");
  EXPECT_EQ(HostBoxes[2].Caption, "<default>");
  for (const HostBox& box : HostBoxes) EXPECT_EQ(box.Style, kBoxIconError);
}

TEST_F(ReadFileEntryTest, ValueIsReadIntoTenTwentyFourCharacters) {
  // The size field starts beyond the value buffer: it is missing.
  std::string value = "1,,a.dat,," + std::string(1100, 'x') + ",,,,5";
  HostLoadScript("[Section1]\nFile1=" + value + "\n");
  FileEntry e;
  EXPECT_EQ(ReadFileEntry("Section1", 1, &e), 0);
  ASSERT_EQ(HostBoxes.size(), 1u);
  EXPECT_EQ(HostBoxes[0].Text, "Fehlende oder ungültige Dateigröße in [Section1] File1");
}

TEST_F(ReadFileEntryTest, ReaderKeepsEveryEntryInItsSlotAndReportsInReadingOrder) {
  ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  HostLoadScript(
      "[Section1]\nName=A\nInstall=1\nFileCount=4\n"
      "File1=1,,gut.exe,,$(AppPath),,,,10\nFile2=1\nFile4=1,,x,,$(AppPath),,,,12\n"
      "[Section1:1]\nName=A1\nFileCount=2\nFile1=1,,b\nFile2=1,,c,,$(AppPath),,,,-1\n"
      "[Section2]\nName=B\nFileCount=1\nFile1=1,,d,,$(AppPath),,,,zehn\n");
  Option* root = ReadOptionList("Section", nullptr, 0);
  ASSERT_NE(root, nullptr);
  ASSERT_EQ(root->FileCount, 4);
  EXPECT_EQ(root->FileEntries[0].Size, 10);
  EXPECT_EQ(root->FileEntries[1].Number, 2);  // failed, kept
  EXPECT_EQ(root->FileEntries[2].Number, 0);  // missing, zero
  EXPECT_EQ(root->FileEntries[3].Number, 4);
  ASSERT_NE(root->FirstChild, nullptr);
  ASSERT_EQ(root->FirstChild->FileCount, 2);
  EXPECT_STREQ(root->FirstChild->FileEntries[0].SourceName, "b");
  EXPECT_EQ(root->FirstChild->FileEntries[1].Size, -1);

  std::vector<std::string> texts;
  for (const HostBox& box : HostBoxes) texts.push_back(box.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Fehlende Quelldatei in [Section1] File2",
                       "Fehlendes Zielverzeichnis in [Section1:1] File1",
                       "Fehlende oder ungültige Dateigröße in [Section1:1] File2",
                       "Fehlende oder ungültige Dateigröße in [Section2] File1",
                   }));
}

}  // namespace
