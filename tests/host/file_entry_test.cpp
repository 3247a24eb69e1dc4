// File entries: the ten fields of a File<n> value with their rules and defaults, and the three
// messages. Each case reads as the value and the entry it gives, in one line:
// status, disk (S: split), source>target, @destination class, k kind[:text], sh shared,
// t days since 1601 (0: no date), z size, v version.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_platform.h"
#include "script/file_entry.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

std::string Summary(const std::string& value) {
  static const char* const kStatus[] = {"ok", "leer", "ohneQuelle", "ohneZiel", "Groesse"};
  FileEntry e;
  FileEntryStatus status = ParseFileEntry(value.c_str(), 7, &e);
  uint64_t time = static_cast<uint64_t>(e.FileTimeHigh) << 32 | e.FileTimeLow;
  char text[1200];
  snprintf(text, sizeof text, "%s d%d%s %s>%s @%d k%d%s%s%s t%llu z%lld v%u.%u.%u.%u", kStatus[status], e.Disk,
           e.Split ? "S" : "", e.SourceName, e.TargetName, e.DestKind, e.FileKind, e.KindText[0] ? ":" : "",
           e.KindText, e.Shared ? " sh" : "", static_cast<unsigned long long>(time / 864000000000ull),
           static_cast<long long>(e.Size), e.VersionMS >> 16, e.VersionMS & 0xFFFF, e.VersionLS >> 16,
           e.VersionLS & 0xFFFF);
  EXPECT_EQ(time % 864000000000ull, 0u) << value;
  return text;
}

TEST(FileEntry, FieldsRulesAndDefaults) {
  const char* const cases[][2] = {
      {"1,,prog.exe,,$(AppPath),,,5/20/1997,123456,2.0.0.17", "ok d1 prog.exe>prog.exe @0 k0 t144775 z123456 v2.0.0.17"},
      {"2,SPLIT,daten.cab,daten.dat,$(AppPath),,$(Shared),,1048576", "ok d2S daten.cab>daten.dat @0 k0 sh t0 z1048576 v0.0.0.0"},
      {"1,,a.dll,,$(WinSysPath)\\sub,$(DLLSelfRegister),$(Shared),,2048", "ok d1 a.dll>a.dll @2 k1 sh t0 z2048 v0.0.0.0"},
      // disk: atoi, empty gives 1; quotes only group
      {"x,,a,,$(AppPath),,,,1", "ok d0 a>a @0 k0 t0 z1 v0.0.0.0"},
      {",,a,,$(AppPath),,,,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      {" \t-3b,split,a,,$(AppPath),,,,1", "ok d-3 a>a @0 k0 t0 z1 v0.0.0.0"},
      {"\"5\",SPLIT ,\"a,b\",,$(AppPath),,,,1", "ok d5 a,b>a,b @0 k0 t0 z1 v0.0.0.0"},
      {"1,,,,$(AppPath),,,,1", "ok d1 > @0 k0 t0 z1 v0.0.0.0"},
      // destination: its own placeholders decide, the last one counts
      {"1,,a,,$(WinPath),,,,1", "ok d1 a>a @1 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath)\\$(NoCopy),,,,1", "ok d1 a>a @6 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,$(NoCopy)$(WinSysPath),,,,1", "ok d1 a>a @2 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,C:\\fest,,,,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,/$(WinPath)$$(NoCopy),,,,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      // kind keywords are prefixes up to their name; anything else is kept as text
      {"1,,a,,$(AppPath),$(DLLSelfRegisterX),,,1", "ok d1 a>a @0 k1 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),$(EXESelfRegister),,,1", "ok d1 a>a @0 k2 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),$(RemoteServer),$(Shared)x,,1", "ok d1 a>a @0 k3 sh t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),$(KRVRegister),$(shared),,1", "ok d1 a>a @0 k5 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),$(dllselfregister), $(Shared),,1", "ok d1 a>a @0 k4:$(dllselfregister) t0 z1 v0.0.0.0"},
      // dates: month/day/year at midnight; invalid ones give none
      {"1,,a,,$(AppPath),,,12/31/1997,1", "ok d1 a>a @0 k0 t145000 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,, 1/ 1/ 1970,1", "ok d1 a>a @0 k0 t134774 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,2/29/2000x,1", "ok d1 a>a @0 k0 t145790 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,65541/20/1997,1", "ok d1 a>a @0 k0 t144775 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,5/20/97,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,2/29/1900,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,1997,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,5/20/00000000000000000000000000000000001997,1", "ok d1 a>a @0 k0 t0 z1 v0.0.0.0"},
      // sizes in 64 bits; not above 0 is refused, kept as read
      {"1,,a,,$(AppPath),,,,5000000000", "ok d1 a>a @0 k0 t0 z5000000000 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,, 12abc", "ok d1 a>a @0 k0 t0 z12 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,,99999999999999999999999", "ok d1 a>a @0 k0 t0 z9223372036854775807 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,,-18446744073709551615", "Groesse d1 a>a @0 k0 t0 z-9223372036854775808 v0.0.0.0"},
      {"2,SPLIT,q,z,$(WinPath),$(Remote),$(Shared),12/31/1997,0,1.2.3.4", "Groesse d2S q>z @1 k3 sh t145000 z0 v0.0.0.0"},
      {"1,,a,,$(AppPath),,,,zwei", "Groesse d1 a>a @0 k0 t0 z0 v0.0.0.0"},
      {"1,,a,,$(AppPath)", "Groesse d1 a>a @0 k0 t0 z0 v0.0.0.0"},
      // versions: missing parts give 0, each part modulo 65536
      {"1,,a,,$(AppPath),,,,1,4.71", "ok d1 a>a @0 k0 t0 z1 v4.71.0.0"},
      {"1,,a,,$(AppPath),,,,1,x.2. 3.4.5", "ok d1 a>a @0 k0 t0 z1 v0.2.3.4"},
      {"1,,a,,$(AppPath),,,,1,65536.65537.70000.-1", "ok d1 a>a @0 k0 t0 z1 v0.1.4464.65535"},
      // missing fields
      {"", "leer d0 > @0 k0 t0 z0 v0.0.0.0"},
      {"3,SPLIT,", "ohneQuelle d3S > @0 k0 t0 z0 v0.0.0.0"},
      {"1,,q.dat,z.dat", "ohneZiel d1 q.dat>z.dat @0 k0 t0 z0 v0.0.0.0"},
      {"1,,q.dat,,,$(Remote),$(Shared),1/1/1997,10", "ohneZiel d1 q.dat>q.dat @0 k0 t0 z0 v0.0.0.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Summary(c[0]), c[1]) << c[0];
}

TEST(FileEntry, LongFieldsAreCutAndMarkedAndLongFoldersKeepTheClass) {
  std::string name(400, 'n');
  FileEntry e;
  ASSERT_EQ(ParseFileEntry(("1,," + name + ",,$(AppPath),,,,1").c_str(), 1, &e), kEntryComplete);
  EXPECT_EQ(std::string(e.TargetName), name.substr(0, kPathChars - 1));
  EXPECT_EQ(e.TooLong, 1);
  CopyText(InstallDir, ("C:\\" + std::string(256, 'i')).c_str());
  ParseFileEntry("1,,a,,$(AppPath)\\$(NoCopy),,,,1", 1, &e);
  EXPECT_EQ(e.DestKind, kDestNoCopy);  // an expansion would have stopped before $(NoCopy)
  InstallDir[0] = 0;
}

TEST(FileEntry, FailedChecksShowTheirMessagesInReadingOrder) {
  HostResetPlatform();
  ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  HostLoadScript("[Section1]\nInstall=1\nFileCount=4\nFile1=1,,gut.exe,,$(AppPath),,,,10\nFile2=1\n"
                 "File4=1,,a.dat,," + std::string(1100, 'x') + ",,,,5\n"
                 "[Section1:1]\nFileCount=2\nFile1=1,,b\nFile2=1,,c,,$(AppPath),,,,-1\n");
  Option* root = ReadOptionList("Section", nullptr, 0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->FileEntries[1].Number, 2);  // failed, kept in its slot
  EXPECT_EQ(root->FileEntries[2].Number, 0);  // missing: zero, no message
  std::vector<std::string> seen;
  for (const HostBox& box : HostBoxes) seen.push_back(box.Text + "|" + box.Caption);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "Fehlende Quelldatei in [Section1] File2|",
                      // the value is read into 1024 characters: its size field lies beyond
                      "Fehlende oder ungültige Dateigröße in [Section1] File4|<default>",
                      "Fehlendes Zielverzeichnis in [Section1:1] File1|",
                      "Fehlende oder ungültige Dateigröße in [Section1:1] File2|<default>",
                  }));
  ArenaRelease();
}

}  // namespace
