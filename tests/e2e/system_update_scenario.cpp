// The system update page applying every record kind for real: self-registration, shortcuts,
// registry keys, file types and INI entries, interleaved by index, with the failures of each
// kind shown, logged and counted.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
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
  std::string data = Fixture("daten-v3.hlp");
  std::string programs = ShellFolder(CSIDL_PROGRAMS), desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  std::string company = ui::CompanyName(), product = ui::ProductName();
  std::string productKey = "Software\\" + company + "\\" + product;
  std::string options =
      "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=4\r\n" + FileLine(1, "prog.exe", prog.size()) +
      FileLine(2, "regok.dll", regok.size(), "$(DLLSelfRegister)") +
      FileLine(3, "nover.dll", nover.size(), "$(DLLSelfRegister)") +
      FileLine(4, "daten-v3.hlp", data.size(), "$(KRVRegister)") +
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
  UpdateRun run("update-all", options,
                {{"prog.exe", prog}, {"regok.dll", regok}, {"nover.dll", nover}, {"daten-v3.hlp", data}});
  std::string versionKey = productKey + "\\2.0";
  ui::DeleteRegTree(HKEY_LOCAL_MACHINE, versionKey);
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
  // Registered, in a process that keeps the system's error boxes away.
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\SelfRegistered", in + "\\regok.dll"), "ok");
  EXPECT_EQ(ui::IniValue(in + "\\einstellungen.ini", "Optionen", "Pfad"), in);
  EXPECT_EQ(ui::IniValue(in + "\\einstellungen.ini", "Begleiter", "Da"), "1");
  EXPECT_EQ(ui::IniValue("setuptest.ini", "Test", "Liste"), "a,b,c");  // a bare name: the Windows folder
  EXPECT_EQ(ui::LinkTarget(programLink), exe);
  EXPECT_EQ(ui::LinkTarget(desktopLink), exe);
  // The product record of the data file: its version and place, and its registered issues.
  std::string dataKey = versionKey + "\\Files\\{0123ABCD-4567-89ab-CDEF-0123456789AB}";
  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, dataKey), "3");
  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, dataKey, "InstallPath"), in + "\\daten-v3.hlp");
  EXPECT_NE(ui::RegistryValue(versionKey + "\\Issues", "{11111111-2222-3333-4444-555555555555}"), "<none>");

  // Step by step: file entry a, shortcut a, registry key a, file type a, INI entry a.
  EXPECT_EQ(ui::ReadSetupLog(in),
            "CreatedDir:" + in + "\r\nCopied:" + exe + "\r\nCopied:" + in + "\\regok.dll\r\nCopied:" + in +
                "\\nover.dll\r\nCopied:" + in + "\\daten-v3.hlp\r\n"
                // step 0 of the first option
                "Link:" + exe + "," + programLink + "\r\n" +
                "Register:HKEY_LOCAL_MACHINE," + productKey + "\\CurrentVersion,,Path," + exe + "\r\n" +
                "RegisterFileType:.sut\r\n"
                "Register:HKEY_CLASSES_ROOT,.sut,SetupTests.Datei,,\r\n"
                "Register:HKEY_CLASSES_ROOT,SetupTests.Datei,Testdatei,,\r\n"
                "Register:HKEY_CLASSES_ROOT,SetupTests.Datei\\shell\\open\\command," + exe + " %1,,\r\n" +
                "Register:HKEY_CLASSES_ROOT,SetupTests.Datei\\DefaultIcon," + exe + ",,\r\n" +
                // step 1: the library without an entry point (step 2) and the product record
                // (step 3) leave no line
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

namespace {

struct ExpectedBox {
  const char* Caption;
  std::string Text;
};

// Answers the boxes of the run in order, checking each; then the finish page reports errors.
void ExpectBoxesThenErrors(ui::Setup* setup, const std::vector<ExpectedBox>& boxes) {
  for (const ExpectedBox& expected : boxes) {
    HWND box = ui::WaitMessageBox(setup->Pid);
    ASSERT_NE(box, nullptr) << "no box for: " << expected.Text;
    EXPECT_EQ(ui::WindowText(box), expected.Caption);
    EXPECT_EQ(ui::MessageBoxText(box), expected.Text);
    ASSERT_TRUE(ui::Answer(box, IDOK));
  }
  EXPECT_EQ(ui::FinishWithErrors(setup), 4) << "failed records are errors of the run";
}

TEST(SystemUpdateScenario, EachKindOfFailureIsShownLoggedAndCounted) {
  std::string prog = ui::PatternBytes(100, 2), regfail = Fixture("regfail.dll");
  std::string regsibling = Fixture("regsibling.dll"), sibling = Fixture("sibling.dll");
  std::string notALibrary = "kein Programm\r\n";
  std::string options =
      "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=6\r\n" + FileLine(1, "kaputt.dll", notALibrary.size(),
                                                                               "$(DLLSelfRegister)") +
      FileLine(2, "regfail.dll", regfail.size(), "$(DLLSelfRegister)") +
      // Loaded from the install folder, the library finds its sibling there (the medium keeps
      // the sibling in a sub-folder, where no search would find it).
      "File3=1,,bin\\sibling.dll,sibling.dll,$(AppPath),,,," + std::to_string(sibling.size()) + "\r\n" +
      FileLine(4, "regsibling.dll", regsibling.size(), "$(DLLSelfRegister)") +
      FileLine(5, "kaputt.hlp", notALibrary.size(), "$(KRVRegister)") +
      // Not on the medium and skipped: the copy page has said so, the record says it no more.
      FileLine(6, "fehlt.hlp", 100, "$(KRVRegister)") +
      "LinkCount=1\r\nLink1=$(AppPath)\\prog.exe,$(AppPath)\\fehlt\\Verweis.lnk\r\n"
      "RegisterKeyCount=2\r\n"
      // HARDWARE holds volatile keys only: a lasting key below it is refused.
      "RegisterKey1=HKEY_LOCAL_MACHINE,HARDWARE\\SetupTests,x,,\r\n"
      "RegisterKey2=hkey_current_user,Software\\SetupTests\\Klein,x,,\r\n"
      "RegisterFileTypeCount=1\r\nRegisterFileType1=.sux,,Ohne Typnamen\r\n"
      "IniCount=1\r\nIni1=$(AppPath)\\nurlesen.ini,Abschnitt,Schl\xFC" "ssel,Wert\r\n";
  UpdateRun run("update-fail", options,
                {{"kaputt.dll", notALibrary}, {"regfail.dll", regfail}, {"regsibling.dll", regsibling},
                 {"kaputt.hlp", notALibrary}});
  ui::WriteFiles(run.Medium + "\\bin", {{"sibling.dll", sibling}});
  std::string in = run.Install, ini = in + "\\nurlesen.ini";
  ui::MakeFolders(in);
  ASSERT_TRUE(ui::WriteFile(ini, "[Abschnitt]\r\nAlt=1\r\n"));
  SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".sux");

  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
  HWND prompt = ui::WaitDialog(setup.Pid, "Quelldatei nicht gefunden!", {5});
  ASSERT_NE(prompt, nullptr);
  ASSERT_TRUE(ui::Answer(prompt, 5));
  ExpectBoxesThenErrors(
      &setup,
      {{"Schwerer Fehler", "LoadLibrary() failed! " + in + "\\kaputt.dll."},
       {"Hinweis...", "Verkn\xFCpfung mit \"$(AppPath)\\prog.exe\" kann nicht erstellt werden"},
       {"Hinweis...", "Fehler beim Schreiben von \"HARDWARE\\SetupTests\" in Registraturdatenbank!"},
       {"Hinweis...", "Fehler beim Erzeugen des Dateityps \".sux\"!"},
       {"Hinweis...", "Fehler beim Erzeugen des IniEintrags \"Abschnitt\" in die Datei  \"$(AppPath)\\nurlesen.ini\"!"},
       {"Schwerer Fehler", "Fehler beim Registrieren von " + in + "\\regfail.dll. (0x80070005)"},
       {"Hinweis...", "Fehler beim Schreiben von \"Software\\SetupTests\\Klein\" in Registraturdatenbank!"},
       // a data file that cannot be read is named, not the key of its record
       {"Hinweis...", "Fehler beim Lesen der Datei " + in + "\\kaputt.hlp!"}});
  SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ".sux"), "<none>");
  EXPECT_EQ(ui::IniValue(ini, "Abschnitt", "Schl\xFCssel"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\SelfRegistered", in + "\\regsibling.dll"),
            in + "\\sibling.dll");
  std::string log = ui::ReadSetupLog(in);
  for (const std::string& line : std::vector<std::string>{
           "Error: LoadLibrary() failed, " + in + "\\kaputt.dll\r\n",
        "Link:" + in + "\\prog.exe," + in + "\\fehlt\\Verweis.lnk\r\nError: Creating Link $(AppPath)\\fehlt\\Verweis.lnk\r\n",
        "Error: Creating RegistryKey HARDWARE\\SetupTests\r\n", "Error: Creating FileType .sux\r\n",
        "Error: Creating IniSetting $(AppPath)\\nurlesen.ini\r\n",
        "Error: Fehler beim Registrieren von " + in + "\\regfail.dll\r\n",
        "Error: Creating RegistryKey Software\\SetupTests\\Klein\r\n",
        "DLLSelfRegister:" + in + "\\regsibling.dll\r\n", "Error: Fehler beim Lesen der Datei " + in + "\\kaputt.hlp!\r\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nin:\n" << log;
  EXPECT_EQ(log.find("fehlt.hlp!"), std::string::npos) << log;
}

}  // namespace

namespace {

// An extension that belongs to another type is changed only when the user agrees.
TEST(SystemUpdateScenario, ExtensionOfAnotherTypeIsReplacedOnlyOnYes) {
  std::string options =
      "[Section1]\r\nName=Programm\r\nInstall=1\r\nRegisterFileTypeCount=1\r\n"
      "RegisterFileType1=.suq,SetupTests.Frage,Testfrage,shell\\open\\command,\"$(AppPath)\\prog.exe %1\",,\r\n";
  for (int answer : {IDNO, IDYES}) {
    UpdateRun run("update-question", options, {});
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, "SetupTests.Frage");
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".suq", REG_SZ, "Andere.Datei", 12), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "Andere.Datei", REG_SZ, "Andere Datei", 12), ERROR_SUCCESS);
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
    HWND box = ui::WaitMessageBox(setup.Pid);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ui::WindowText(box), "Dateiendung...");
    EXPECT_EQ(ui::ClassName(ui::Owner(box)), "SETUPFRAME");
    EXPECT_EQ(ui::MessageBoxText(box),
              "Soll die bisherige Verkn\xFCpfung von .suq-Dateien mit Dateien vom Typ \"Andere Datei\" in eine "
              "Verkn\xFCpfung von Dateien des Typs \"Testfrage\" erfolgen?\nDie bisherige Verkn\xFCpfung geht dabei "
              "verloren!");
    EXPECT_EQ(ui::ButtonIds(box), (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(ui::Answer(box, answer));
    ASSERT_EQ(ui::WaitCleanExit(&setup), 0) << "keeping the other type is no error";
    std::string log = ui::ReadSetupLog(run.Install);
    if (answer == IDNO) {
      EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ".suq"), "Andere.Datei");
      EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Frage"), "<none>");
      EXPECT_EQ(log, "CreatedDir:" + run.Install + "\r\n");
    } else {
      EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ".suq"), "SetupTests.Frage");
      EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Frage\\shell\\open\\command"),
                run.Install + "\\prog.exe %1");
      EXPECT_NE(log.find("RegisterFileType:.suq\r\nRegister:HKEY_CLASSES_ROOT,.suq,SetupTests.Frage,,\r\n"),
                std::string::npos) << log;
    }
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".suq");
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, "Andere.Datei");
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, "SetupTests.Frage");
  }
}

}  // namespace
