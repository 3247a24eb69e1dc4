// The publisher's tool on the host, run as a program over a medium in a scratch folder: fill
// rewrites only the figures, add appends entries, check tells where.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    struct tm day = {};
    day.tm_year = 101, day.tm_mon = 1, day.tm_mday = 3, day.tm_hour = 12;  // 2/3/2001, local
    utimbuf times{mktime(&day), mktime(&day)};
    for (auto [name, bytes] : {std::pair<std::string, std::string>{"Prog.dll", pe::Image(false, 0x10002, 0x30004)},
                               {"hilfe.txt", "Hilfe\r\n"}, {"daten/liste.dat", "abc"}}) {
      Write(name, bytes);
      utime((Folder + "/" + name).c_str(), &times);
    }
  }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Folder + "/" + name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::stringstream text;
    text << std::ifstream(Folder + "/" + name, std::ios::binary).rdbuf();
    return text.str();
  }
  // Runs setuplst; its exit code, and its output in *output.
  int Run(const std::string& arguments, std::string* output) const {
    FILE* pipe = popen((std::string(SETUPLST_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    char block[4096];
    output->clear();
    for (size_t n; (n = fread(block, 1, sizeof block, pipe)) > 0;) output->append(block, n);
    return WEXITSTATUS(pclose(pipe));
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
  medium.Write("SETUP.LST", "[Section1]\nName=Programm\nFileCount=1\nFile1=1,,hilfe.txt,,$(AppPath),,,,7\n; Ende\n\n[Section2]\nName=B\n");
  std::string output;
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section1 '$(WinSysPath)' Prog.dll " + medium.Folder + "/daten/liste.dat", &output), 0);
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section3 '$(AppPath)' hilfe.txt", &output), 0);
  std::string dll = std::to_string(pe::Image(false, 0, 0).size());
  EXPECT_EQ(medium.Read("SETUP.LST"),
            "[Section1]\nName=Programm\nFileCount=3\nFile1=1,,hilfe.txt,,$(AppPath),,,,7\n; Ende\n"
            "File2=1,,Prog.dll,,$(WinSysPath),,,2/3/2001," + dll + ",1.2.3.4\n"
            "File3=1,,daten\\liste.dat,,$(WinSysPath),,,2/3/2001,3\n\n[Section2]\nName=B\n"
            "[Section3]\nFileCount=1\nFile1=1,,hilfe.txt,,$(AppPath),,,2/3/2001,7\n");
  // A file outside the medium, and a number already taken, are refused.
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section1 '$(AppPath)' /etc/hostname", &output), 1);
  medium.Write("SETUP.LST", "[Section1]\nFileCount=1\nFile2=1,,x,,y,,,,1\n");
  EXPECT_EQ(medium.Run("add " + medium.Folder + " Section1 '$(AppPath)' hilfe.txt", &output), 1);
  EXPECT_EQ(medium.Run("check " + medium.Folder + "/fehlt", &output), 2);
}

}  // namespace
