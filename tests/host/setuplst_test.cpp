// The publisher's tool on the host, run as a program over a medium in a scratch folder: fill
// rewrites only the figures, add appends entries, check tells where.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "pe_image.h"

namespace {

struct Medium {
  std::string Folder = testing::TempDir() + "setuplst-medium";

  Medium() {
    std::system(("rm -rf '" + Folder + "' && mkdir -p '" + Folder + "/daten'").c_str());
    for (auto [name, bytes] : {std::pair<std::string, std::string>{"Prog.dll", pe::Image(false, 0x10002, 0x30004)},
                               {"hilfe.txt", "Hilfe\r\n"}, {"daten/liste.dat", "abc"}})
      Write(name, bytes);
  }
  // Every file of the medium is dated 2/3/2001 (local time).
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Folder + "/" + name, std::ios::binary) << bytes;
    struct tm day = {};
    day.tm_year = 101, day.tm_mon = 1, day.tm_mday = 3, day.tm_hour = 12;
    utimbuf times{mktime(&day), mktime(&day)};
    utime((Folder + "/" + name).c_str(), &times);
  }
  std::string Read(const std::string& name) const {
    std::stringstream text;
    text << std::ifstream(Folder + "/" + name, std::ios::binary).rdbuf();
    return text.str();
  }
  // Runs setuplst; its exit code, its standard output in *output and its standard error in
  // *errors (or in *output too when errors is null).
  int Run(const std::string& arguments, std::string* output, std::string* errors = nullptr) const {
    std::string errorFile = Folder + ".err";
    FILE* pipe = popen((std::string(SETUPLST_PATH) + " " + arguments + " 2>'" + errorFile + "'").c_str(), "r");
    char block[4096];
    output->clear();
    for (size_t n; (n = fread(block, 1, sizeof block, pipe)) > 0;) output->append(block, n);
    int code = WEXITSTATUS(pclose(pipe));
    std::stringstream text;
    text << std::ifstream(errorFile, std::ios::binary).rdbuf();
    (errors ? *errors : *output) += text.str();
    return code;
  }
};

const std::string kScript =
    "; Kommentar bleibt\r\n[Settings]\r\nDestination=C:\\Programme\\W\xF6rter\r\n"
    "[Section1]\r\nName=Programm\r\nInstall=1\r\nfilecount = 4\r\n"
    "File1 = 1,,PROG.DLL,,$(AppPath),,,1/1/1990,5,9.9\r\n"
    "file2=\"1,,Hilfe.txt,,$(AppPath),,,,7\"\r\n"
    "File3=1,,\"daten\\liste.dat\",,\"$(AppPath)\",,,  ,3,\r\n"
    "File4=1,,hilfe.txt,,$(AppPath),,\r\n"
    "File1=1,,x,,y,,,,1\r\n"
    "File5=1,,x,,y,,,,1\r\n";

TEST(Setuplst, FillRewritesTheFiguresAndNothingElse) {
  Medium medium;
  medium.Write("SETUP.LST", kScript);
  std::string output, expected = kScript;
  auto replace = [&](const std::string& from, const std::string& to) { expected.replace(expected.find(from), from.size(), to); };
  replace("1/1/1990,5,9.9", "2/3/2001," + std::to_string(pe::Image(false, 0, 0).size()) + ",1.2.3.4");
  replace("$(AppPath),,,,7\"", "$(AppPath),,,2/3/2001,7\"");
  replace(",,  ,3,", ",,2/3/2001,3,");
  replace("$(AppPath),,\r\n", "$(AppPath),,,2/3/2001,7,\r\n");
  EXPECT_EQ(medium.Run("check " + medium.Folder, &output), 1) << output;
  EXPECT_NE(output.find("SETUP.LST:8: error: Fehlerhafte Dateigröße für Datei: PROG.DLL"), std::string::npos) << output;
  EXPECT_EQ(medium.Run("fill " + medium.Folder, &output), 0) << output;
  EXPECT_EQ(medium.Read("SETUP.LST"), expected);
  EXPECT_EQ(medium.Run("fill " + medium.Folder, &output), 0) << output;
  EXPECT_NE(output.find(": 0 von 4 Einträgen geändert"), std::string::npos) << output;
  EXPECT_EQ(medium.Run("check " + medium.Folder, &output), 0) << output;
  EXPECT_NE(output.find("SETUP.LST:12: warning: doppelter Schlüssel File1: Setup liest nur den in Zeile 8"), std::string::npos);
  EXPECT_NE(output.find("SETUP.LST:13: warning: File5 liegt über FileCount=4"), std::string::npos) << output;
}

TEST(Setuplst, AddAppendsEntriesWithTheirFiguresAndRaisesTheCount) {
  Medium medium;
  medium.Write("SETUP.LST", "[Section1]\nName=Programm\nFileCount=1 ; eine Datei\nFile1=1,,hilfe.txt,,$(AppPath),,,,7\n; Ende\n\n[Section2]\nName=B\n");
  chmod((medium.Folder + "/SETUP.LST").c_str(), 0444);
  std::string output;
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section1 '$(WinSysPath)' Prog.dll " + medium.Folder + "/daten/liste.dat", &output), 0);
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section3 '$(AppPath)' hilfe.txt", &output), 0);
  std::string dll = std::to_string(pe::Image(false, 0, 0).size());
  // The count's comment and the comment heading the next section stay; a file from a
  // sub-folder is named at the target; the file stays read-only.
  EXPECT_EQ(medium.Read("SETUP.LST"),
            "[Section1]\nName=Programm\nFileCount=3 ; eine Datei\nFile1=1,,hilfe.txt,,$(AppPath),,,,7\n"
            "File2=1,,Prog.dll,,$(WinSysPath),,,2/3/2001," + dll + ",1.2.3.4\n"
            "File3=1,,daten\\liste.dat,liste.dat,$(WinSysPath),,,2/3/2001,3\n; Ende\n\n[Section2]\nName=B\n"
            "[Section3]\nFileCount=1\nFile1=1,,hilfe.txt,,$(AppPath),,,2/3/2001,7\n");
  struct stat info;
  EXPECT_TRUE(stat((medium.Folder + "/SETUP.LST").c_str(), &info) == 0 && (info.st_mode & 0777) == 0444);

  // Refused, the script unchanged: a file outside the medium, a number already taken, an empty
  // file, a section the setup never reads (a typo, after a gap) unless asked for, a script
  // saved as UTF-8.
  struct Refusal {
    std::string Script, Arguments;
  };
  medium.Write("leer.txt", "");
  const Refusal refusals[] = {
      {"[Section1]\nFileCount=0\n", "Section1 '$(AppPath)' /etc/hostname"},
      {"[Section1]\nFileCount=1\nFile2=1,,x,,y,,,,1\n", "Section1 '$(AppPath)' hilfe.txt"},
      {"[Section1]\nFileCount=0\n", "Section1 '$(AppPath)' leer.txt"},
      {"[Section1]\nFileCount=0\n", "Sektion1 '$(AppPath)' hilfe.txt"},
      {"[Section1]\nFileCount=0\n[Section3]\nName=C\n", "Section3 '$(AppPath)' hilfe.txt"},
      {"[Section1]\nName=W\xC3\xB6rter\n", "Section1 '$(AppPath)' hilfe.txt"},
  };
  for (const Refusal& r : refusals) {
    medium.Write("SETUP.LST", r.Script);
    std::string errors;
    EXPECT_EQ(medium.Run("add " + medium.Folder + " " + r.Arguments, &output, &errors), 1) << r.Arguments;
    EXPECT_EQ(output, "") << r.Arguments;
    EXPECT_NE(errors.find("setuplst: "), std::string::npos) << r.Arguments;
    EXPECT_EQ(medium.Read("SETUP.LST"), r.Script) << r.Arguments;
  }
  medium.Write("SETUP.LST", refusals[4].Script);
  EXPECT_EQ(medium.Run("add --new-section " + medium.Folder + " Section3 '$(AppPath)' hilfe.txt", &output), 0);
  EXPECT_NE(medium.Read("SETUP.LST").find("Name=C\nFileCount=1\nFile1="), std::string::npos);
  // Bare carriage returns stay the line ends.
  medium.Write("SETUP.LST", "[Section1]\rFileCount=0\r");
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section1 '$(AppPath)' hilfe.txt", &output), 0);
  EXPECT_EQ(medium.Read("SETUP.LST"), "[Section1]\rFileCount=1\rFile1=1,,hilfe.txt,,$(AppPath),,,2/3/2001,7\r");
}

TEST(Setuplst, CommandLineStreamsAndExitCodes) {
  Medium medium;
  std::string output, errors;
  EXPECT_EQ(medium.Run("--help", &output, &errors), 0);
  EXPECT_NE(output.find("Aufruf: setuplst check MEDIUM"), std::string::npos);
  EXPECT_NE(output.find("Rückgabewert"), std::string::npos);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(medium.Run("--version", &output, &errors), 0);
  EXPECT_EQ(output, "setuplst 2.0\n");
  for (const char* wrong : {"", "pruefe " , "check", "brand a.exe", "brand a.exe b.exe --firma X", "add M S"}) {
    EXPECT_EQ(medium.Run(wrong, &output, &errors), 2) << wrong;
    EXPECT_EQ(output, "") << wrong;
    EXPECT_NE(errors.find("Aufruf: setuplst"), std::string::npos) << wrong;
  }
  EXPECT_EQ(medium.Run("check " + medium.Folder + "/fehlt", &output, &errors), 3);
  EXPECT_EQ(output, "");
  EXPECT_NE(errors.find("setuplst: SETUP.LST im Verzeichnis"), std::string::npos);
  EXPECT_EQ(medium.Run("brand " + medium.Folder + "/fehlt.exe " + medium.Folder + "/neu.exe", &output, &errors), 3);
  EXPECT_EQ(medium.Run("brand " + medium.Folder + "/Prog.dll " + medium.Folder + "/neu.exe", &output, &errors), 1);
  EXPECT_NE(errors.find("ist kein setup.exe dieses Programms"), std::string::npos) << errors;
  EXPECT_NE(access((medium.Folder + "/neu.exe").c_str(), F_OK), 0);
}

// Mistakes the setup makes in silence: each at its line.
TEST(Setuplst, CheckFindsWhatTheSetupDoesInSilence) {
  Medium medium;
  medium.Write("leer.txt", "");
  medium.Write("SETUP.LST",
               "[Settings]\nDestination=C:\\Programm\n"                                   // 1-2
               "[Section1]\nName=A\nInstall=1\nFileCount=5\n"                            // 3-6
               "File1=1,,hilfe.txt,,$(AppPath)\\Daten,,,2/3/2001,7\n"                   // 7: the sub-folder has no effect
               "File2=1,,hilfe.txt,a.txt,C:\\Daten,,,2/3/2001,7\n"                      // 8: a literal path
               "File3=1,,hilfe.txt,b.txt,$(WinPath),,,2/3/2001,7\n"                     // 9: the system folder
               "File4=1,,leer.txt,,$(AppPath),,,2/3/2001,1\n"                            // 10: empty
               "File5=1,,hilfe.txt,c.txt,$(AppPath)\\,,,2/3/2001,7\n"                   // 11: fine
               "RegisterKeyCount=1\nRegisterKey1=HKEY_CURRENT_USER,Software\\A,,Pfad,\\\\srv\\daten$\\x\n"  // 12-13
               "LinkCount=1\nLink1=$(AppPath)\\a.txt,$(Group)\\A.lnk\n"                 // 14-15
               "[Section1:1]\nName=Teil\nLinkCount=1\nLink1=$(AppPath)\\a.txt,$(Link)\\B.lnk\n"  // 16-19
               "IniCount=1\nIni1=$(WinPath)\\a.ini,S,K,W\n");                           // 20-21
  std::string output;
  EXPECT_EQ(medium.Run("check " + medium.Folder, &output), 1) << output;
  for (const char* line : {
           ":7: warning: das Ziel $(AppPath)\\Daten wirkt nur über seinen Platzhalter: Setup installiert die Datei nach C:\\Programm\\hilfe.txt",
           ":8: warning: das Ziel C:\\Daten wirkt nur über seinen Platzhalter: Setup installiert die Datei nach C:\\Programm\\a.txt",
           ":9: warning: $(WinPath): Setup installiert die Datei ins Systemverzeichnis, nach C:\\Windows\\system32\\b.txt",
           ":10: error: die Datei leer.txt ist leer: Setup lehnt die Größe 0 ab",
           ":13: error: ein $ fällt beim Erweitern weg: Setup schreibt \"\\\\srv\\daten\\x\"",
           ":15: warning: $(Group) bleibt leer: [Settings] DefaultGroup fehlt",
           ":16: warning: die Unteroption [Section1:1] hat 1 Verknüpfungen, 1 INI-Einträge: Setup wendet sie nie an"})
    EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
  EXPECT_EQ(output.find(":11:"), std::string::npos) << output;
  EXPECT_EQ(medium.Run("fill " + medium.Folder, &output), 1);
  EXPECT_NE(output.find(":10: error: die Datei leer.txt ist leer"), std::string::npos) << output;
  EXPECT_NE(medium.Read("SETUP.LST").find("File4=1,,leer.txt,,$(AppPath),,,2/3/2001,1\n"), std::string::npos);
}

// A set of disks, one folder each: check looks for each file on its disk, fill and add write
// the disk a file is on; a 16-bit library's version is read as the version library reads it.
TEST(Setuplst, DisksInFoldersAndSixteenBitVersions) {
  Medium medium;
  std::system(("mkdir -p '" + medium.Folder + "/Disk1' '" + medium.Folder + "/DISK2'").c_str());
  medium.Write("DISK2/alt16.dll", pe::NeImage(0x00030001, 0x00000007));
  medium.Write("DISK2/treiber.vxd", pe::LeImage(0x00040000, 0x00020001));
  medium.Write("Disk1/hilfe.txt", "Hilfe\r\n");
  medium.Write("Disk1/SETUP.LST", "[Disks]\nDiskCount=2\nDisk1=Eins\nDisk2=Zwei\n[Section1]\nFileCount=2\n"
                                  "File1=1,,hilfe.txt,,$(AppPath),,,,7\nFile2=1,,ALT16.DLL,,$(WinSysPath),,,,1,1.0\n");
  std::string output;
  EXPECT_EQ(medium.Run("check " + medium.Folder, &output), 1);
  EXPECT_NE(output.find("SETUP.LST:8: error: die Datei liegt auf Datenträger 2 (DISK2), der Eintrag nennt Datenträger 1"),
            std::string::npos) << output;
  EXPECT_EQ(medium.Run("fill " + medium.Folder, &output), 0) << output;
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section1 '$(WinSysPath)' " + medium.Folder + "/DISK2/treiber.vxd", &output), 0);
  std::string script = medium.Read("Disk1/SETUP.LST");
  std::string vxd = std::to_string(pe::LeImage(0, 0).size()), ne = std::to_string(pe::NeImage(0, 0).size());
  EXPECT_NE(script.find("File2=2,,ALT16.DLL,,$(WinSysPath),,,2/3/2001," + ne + ",3.1.0.7\n"), std::string::npos) << script;
  EXPECT_NE(script.find("File3=2,,treiber.vxd,,$(WinSysPath),,,"), std::string::npos) << script;
  EXPECT_NE(script.find("," + vxd + ",4.0.2.1\n"), std::string::npos) << script;
  EXPECT_EQ(medium.Run("check " + medium.Folder, &output), 0) << output;
}

}  // namespace
