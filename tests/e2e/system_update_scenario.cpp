// The system update page applying every record kind for real: self-registration, shortcuts,
// registry keys, file types and INI entries, interleaved by index, with the failures of each
// kind shown, logged and counted.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

const char kTestKey[] = "Software\\SetupTests";

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

std::string Fixture(const std::string& name) {
  std::string bytes;
  ui::ReadFile(ui::FixturePath(name), &bytes);
  return bytes;
}

// A medium with the given options and files; the install folder is <root>\Ziel.
struct UpdateRun {
  std::string Root, Medium, Install;
  UpdateRun(const char* name, const std::string& options, const std::vector<ui::NamedBytes>& files) {
    Root = ui::FreshFolder(name);
    Install = Root + "\\Ziel";
    Medium = ui::MakeMedium(std::string(name) + "\\medium", ("[Settings]\r\nDestination=" + Install + "\r\n" + options).c_str());
    ui::WriteFiles(Medium, files);
    ui::DeleteRegTree(HKEY_CURRENT_USER, kTestKey);
  }
  ~UpdateRun() { ui::DeleteRegTree(HKEY_CURRENT_USER, kTestKey); }
};

std::string FileLine(int n, const std::string& name, size_t size, const std::string& kind = "") {
  return "File" + std::to_string(n) + "=1,," + name + ",,$(AppPath)," + kind + ",,," + std::to_string(size) + "\r\n";
}

TEST(SystemUpdateScenario, EveryRecordKindIsAppliedIndexByIndexWithPlaceholdersExpandedThen) {
  std::string prog = ui::PatternBytes(3000, 1), regok = Fixture("regok.dll"), nover = Fixture("nover.dll");
  std::string programs = ShellFolder(CSIDL_PROGRAMS), desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  std::string company = ui::CompanyName(), product = ui::ProductName();
  std::string productKey = "Software\\" + company + "\\" + product;
  std::string options =
      "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=3\r\n" + FileLine(1, "prog.exe", prog.size()) +
      FileLine(2, "regok.dll", regok.size(), "$(DLLSelfRegister)") +
      FileLine(3, "nover.dll", nover.size(), "$(DLLSelfRegister)") +
      "LinkCount=2\r\n"
      "Link1=$(AppPath)\\prog.exe,$(Program)\\Update Test.lnk\r\n"
      "Link2=$(AppPath)\\prog.exe,$(Desktop)\\Update Test.lnk\r\n"
      "RegisterKeyCount=3\r\n"
      "RegisterKey1=HKEY_LOCAL_MACHINE,Software\\$(Company)\\$(Product)\\CurrentVersion,,Path,$(AppPath)\\prog.exe\r\n"
      "RegisterKey2=HKEY_CURRENT_USER,Software\\SetupTests\\Update,$(AppPath),Ziel,$(AppPath)\r\n"
      "RegisterKey3=HKEY_CLASSES_ROOT,SetupTests.Info,Beschreibung,,\r\n"
      "RegisterFileTypeCount=1\r\n"
      "RegisterFileType1=.sut,SetupTests.Datei,Testdatei,shell\\open\\command,\"$(AppPath)\\prog.exe %1\",,,"
      "DefaultIcon,$(AppPath)\\prog.exe,,\r\n"
      "IniCount=2\r\n"
      "Ini1=$(AppPath)\\einstellungen.ini,Optionen,Pfad,$(AppPath)\r\n"
      "Ini2=setuptest.ini,Test,Liste,\"a,b,c\"\r\n"
      // Not selected: its own records stay out, its companion's go in.
      "[Section2]\r\nName=Zusatz\r\nInstall=0\r\nRegisterKeyCount=1\r\n"
      "RegisterKey1=HKEY_CURRENT_USER,Software\\SetupTests\\Nie,nie,,\r\n"
      "[Section2NoCopy]\r\nIniCount=1\r\nIni1=$(AppPath)\\einstellungen.ini,Begleiter,Da,1\r\n"
      "RegisterKeyCount=1\r\nRegisterKey1=HKEY_CURRENT_USER,Software\\SetupTests\\Begleiter,ja,,\r\n";
  UpdateRun run("update-all", options, {{"prog.exe", prog}, {"regok.dll", regok}, {"nover.dll", nover}});
  std::string in = run.Install, exe = in + "\\prog.exe";
  std::string programLink = programs + "\\Update Test.lnk", desktopLink = desktop + "\\Update Test.lnk";
  DeleteFileA(programLink.c_str());
  DeleteFileA(desktopLink.c_str());
  DeleteFileA(ui::JoinPath(ShellFolder(CSIDL_WINDOWS), "setuptest.ini").c_str());
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".sut");
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, "SetupTests.Datei");

  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
  ASSERT_EQ(ui::WaitCleanExit(&setup), 0);

  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, productKey + "\\CurrentVersion", "Path"), exe);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Update"), "$(AppPath)");  // taken literally
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Update", "Ziel"), in);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Begleiter"), "ja");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Nie"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ".sut"), "SetupTests.Datei");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Datei"), "Testdatei");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Datei\\shell\\open\\command"), exe + " %1");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Datei\\DefaultIcon"), exe);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\SelfRegistered", in + "\\regok.dll"), "ok");
  EXPECT_EQ(ui::IniValue(in + "\\einstellungen.ini", "Optionen", "Pfad"), in);
  EXPECT_EQ(ui::IniValue(in + "\\einstellungen.ini", "Begleiter", "Da"), "1");
  EXPECT_EQ(ui::IniValue("setuptest.ini", "Test", "Liste"), "a,b,c");  // a bare name: the Windows folder
  EXPECT_EQ(ui::LinkTarget(programLink), exe);
  EXPECT_EQ(ui::LinkTarget(desktopLink), exe);

  // Step by step: file entry a, shortcut a, registry key a, file type a, INI entry a.
  EXPECT_EQ(ui::ReadSetupLog(in),
            "CreatedDir:" + in + "\r\nCopied:" + exe + "\r\nCopied:" + in + "\\regok.dll\r\nCopied:" + in +
                "\\nover.dll\r\n"
                // step 0 of the first option
                "Link:" + exe + "," + programLink + "\r\n" +
                "Register:HKEY_LOCAL_MACHINE," + productKey + "\\CurrentVersion,,Path," + exe + "\r\n" +
                "RegisterFileType:.sut\r\n"
                "Register:HKEY_CLASSES_ROOT,.sut,SetupTests.Datei,,\r\n"
                "Register:HKEY_CLASSES_ROOT,SetupTests.Datei,Testdatei,,\r\n"
                "Register:HKEY_CLASSES_ROOT,SetupTests.Datei\\shell\\open\\command," + exe + " %1,,\r\n" +
                "Register:HKEY_CLASSES_ROOT,SetupTests.Datei\\DefaultIcon," + exe + ",,\r\n" +
                // step 1: the library without an entry point (step 2) leaves no line
                "DLLSelfRegister:" + in + "\\regok.dll\r\n" + "Link:" + exe + "," + desktopLink + "\r\n" +
                "Register:Software\\SetupTests\\Update,$(AppPath),Ziel," + in + "\r\n" +
                "Register:HKEY_CLASSES_ROOT,SetupTests.Info,Beschreibung,,\r\n"
                // the companion of the second option
                "Register:Software\\SetupTests\\Begleiter,ja,,\r\n");

  ui::DeleteRegTree(HKEY_LOCAL_MACHINE, productKey);
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".sut");
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, "SetupTests.Datei");
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, "SetupTests.Info");
  DeleteFileA(programLink.c_str());
  DeleteFileA(desktopLink.c_str());
}

}  // namespace
