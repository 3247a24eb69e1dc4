// Registry and file type operations against the real registry: the guards that keep a faulty
// script or another program's values from doing harm.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "install/setup_log.h"
#include "install_driver.h"
#include "product_registry.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/file_types.h"
#include "system/ini_entries.h"
#include "system/shortcuts.h"
#include "system/registry.h"

namespace {

const char kKey[] = "Software\\SetupTests\\Records";

class SystemRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::DeleteRegTree(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { ui::DeleteRegTree(HKEY_CURRENT_USER, kKey); }
  void Store(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }
};

TEST_F(SystemRecordsTest, RootsAreSignExtendedAsThePredefinedHandles) {
  EXPECT_EQ(RootKey(kRootClassesRoot), HKEY_CLASSES_ROOT);
  EXPECT_EQ(RootKey(kRootLocalMachine), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RootKey(kRootCurrentUser), HKEY_CURRENT_USER);
  EXPECT_EQ(RootKey(0), nullptr);
}

TEST_F(SystemRecordsTest, StringsAreReadAsStoredAndOnlyAsText) {
  Store("ohneNull", REG_SZ, "abc", 3);  // stored without its terminating zero, as this program writes
  Store("genau", REG_SZ, "12345", 5);
  Store("zahl", REG_DWORD, "\1\0\0\0", 4);
  Store("erweitert", REG_EXPAND_SZ, "%T%", 4);  // would fit: refused for its type alone
  char buffer[6];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "ohneNull", buffer), 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "genau", buffer), 1);  // exactly fills the buffer
  EXPECT_STREQ(buffer, "12345");
  Store("lang", REG_SZ, "123456", 6);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "lang", buffer), 0);
  EXPECT_STREQ(buffer, "");
  for (const char* other : {"zahl", "erweitert"}) {
    strcpy(buffer, "alt");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, other, buffer), 0) << other;
    EXPECT_STREQ(buffer, "") << other;
  }
  // Nothing there to read: the buffer keeps what it held.
  strcpy(buffer, "alt");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "fehlt", buffer), 0);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, "Software\\SetupTests\\Fehlt", nullptr, buffer), 0);
  EXPECT_STREQ(buffer, "alt");
}

// The log says what was written: a kept default value is not claimed as emptied.
TEST_F(SystemRecordsTest, AnEmptyDefaultNeverEmptiesAnExistingOne) {
  CopyText(InstallDir, ui::FreshFolder("records-log").c_str());
  char log[kLogNameChars];
  ASSERT_EQ(OpenSetupLog(log), 1);
  std::string sub = std::string(kKey) + "\\Typ";
  ASSERT_EQ(WriteRegistryKey(HKEY_CURRENT_USER, sub.c_str(), "Zuordnung", nullptr, nullptr), 1);
  EXPECT_EQ(WriteRegistryKey(HKEY_CURRENT_USER, sub.c_str(), "", "Content Type", "text/plain"), 1);
  EXPECT_EQ(WriteRegistryKey(HKEY_CURRENT_USER, sub.c_str(), "", nullptr, nullptr), 1);  // writes nothing
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, sub), "Zuordnung");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, sub, "Content Type"), "text/plain");
  // A key this call creates does get its empty default value.
  std::string fresh = std::string(kKey) + "\\Neu";
  EXPECT_EQ(WriteRegistryKey(HKEY_CURRENT_USER, fresh.c_str(), "", nullptr, nullptr), 1);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, fresh), "");
  EXPECT_EQ(WriteRegistryKey(nullptr, fresh.c_str(), "x", nullptr, nullptr), 0);  // no root
  CloseSetupLog();
  InstallDir[0] = 0;
  std::string lines;
  ui::ReadFile(log, &lines);
  EXPECT_EQ(lines, "Register:" + sub + ",Zuordnung,,\r\nRegister:" + sub + ",Zuordnung,Content Type,text/plain\r\n" +
                       "Register:" + fresh + ",,,\r\n");
}

TEST_F(SystemRecordsTest, DeletionIsNeverRecursiveAndNeverOfTheRoot) {
  std::string parent = std::string(kKey) + "\\Eltern", child = parent + "\\Kind";
  ASSERT_EQ(WriteRegistryKey(HKEY_CURRENT_USER, child.c_str(), "k", nullptr, nullptr), 1);
  EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, parent.c_str()), 0);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, child), "k");
  EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, ""), 0);
  EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, child.c_str()), 1);
  EXPECT_EQ(DeleteRegistryKey(HKEY_CURRENT_USER, parent.c_str()), 1);
}

int NeverAsked(const char*) {
  ADD_FAILURE() << "no question expected";
  return 0;
}

std::vector<std::string> Questions;
int AnswerNo(const char* question) {
  Questions.push_back(question);
  return 0;
}

// An extension whose value stands but cannot be read as a type name (not a text, or too long)
// belongs to another program: the question comes first, and "Nein" leaves it as it is.
TEST_F(SystemRecordsTest, AnAssociationThatCannotBeReadIsAskedAbout) {
  FileTypeRecord record = {};
  strcpy(record.Extension, ".sud");
  strcpy(record.TypeName, "SetupTests.Unlesbar");
  strcpy(record.TypeDescription, "Testdatei");
  Option option = {};
  option.RegisterFileTypeCount = 1;
  option.RegisterFileTypes = &record;
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, "SetupTests.Unlesbar");
  std::string longName(300, 'n');
  for (auto [type, value] : {std::pair<DWORD, std::string>{REG_DWORD, std::string("\1\0\0\0", 4)}, {REG_SZ, longName}}) {
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".sud");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".sud", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.data()), value.size());
    RegCloseKey(key);
    Questions.clear();
    EXPECT_EQ(ApplyFileType(&option, 0, AnswerNo), 1) << type;
    ASSERT_EQ(Questions.size(), 1u) << type;
    EXPECT_NE(Questions[0].find("von .sud-Dateien mit Dateien vom Typ \"\" in eine"), std::string::npos) << Questions[0];
    DWORD stored = REG_NONE;
    EXPECT_EQ(ui::RegistryValue(HKEY_CLASSES_ROOT, ".sud", "", &stored), value) << type;
    EXPECT_EQ(stored, type);
  }
  ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".sud");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Unlesbar"), "<none>");
}

// A file type record without an extension or type name (also a counted record the script
// lacks) would write HKEY_CLASSES_ROOT's own default value and its sub keys at its top.
TEST_F(SystemRecordsTest, FileTypesWithoutExtensionOrTypeNameOrWithCutFieldsChangeNothing) {
  std::string rootDefault = ui::RegString(HKEY_CLASSES_ROOT, "");
  FileTypeRecord records[4] = {};
  strcpy(records[0].TypeName, "SetupTests.OhneEndung");
  strcpy(records[0].Entries[0].SubKey, "shell\\open\\command");
  strcpy(records[1].Extension, ".sue");
  strcpy(records[1].Entries[0].SubKey, "shell\\open\\command");
  // records[2] is all empty: a record the count names but the script lacks.
  strcpy(records[3].Extension, ".sue");
  strcpy(records[3].TypeName, "SetupTests.Gekuerzt");
  records[3].TooLong = 1;
  Option option = {};
  option.RegisterFileTypeCount = 4;
  option.RegisterFileTypes = records;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ApplyFileType(&option, i, NeverAsked), 0) << i;
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ""), rootDefault);
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "shell\\open\\command"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ".sue"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "SetupTests.Gekuerzt"), "<none>");
}

// A record whose field was cut, or whose expansion does not fit a path, names something other
// than the script says: it is refused before anything is written.
TEST_F(SystemRecordsTest, CutFieldsAndExpansionsThatDoNotFitAreRefused) {
  std::string longName = std::string(kKey) + "\\" + std::string(200, 'k');
  RegisterKeyRecord keys[3] = {};
  keys[0].Root = kRootCurrentUser;
  strcpy(keys[0].KeyPath, "Software\\SetupTests\\Records\\Gekuerzt");
  keys[0].TooLong = 1;
  keys[1].Root = kRootCurrentUser;
  strcpy(keys[1].KeyPath, "Software\\SetupTests\\Records\\Lang");
  strcpy(keys[1].ValueName, "Wert");
  strcpy(keys[1].ValueData, "$(AppPath)$(AppPath)");  // twice a folder of 200 characters
  // No key path: the value would land at the top of the hive.
  keys[2].Root = kRootCurrentUser;
  RegDeleteValueA(HKEY_CURRENT_USER, "SetupTestsOhneSchluessel");
  strcpy(keys[2].ValueName, "SetupTestsOhneSchluessel");
  strcpy(keys[2].ValueData, "x");
  IniRecord ini = {};
  strcpy(ini.IniFile, "setuptest-gekuerzt.ini");
  strcpy(ini.IniSection, "$(AppPath)$(AppPath)");
  strcpy(ini.IniKey, "Schluessel");
  strcpy(ini.IniValue, "Wert");
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  std::string iniPath = ui::JoinPath(windows, ini.IniFile);
  DeleteFileA(iniPath.c_str());
  LinkRecord link = {};
  strcpy(link.LinkTarget, "C:\\prog.exe");
  strcpy(link.LinkFile, "$(AppPath)\\$(AppPath).lnk");
  Option option = {};
  option.RegisterKeyCount = 3;
  option.RegisterKeys = keys;
  option.IniCount = 1;
  option.Inis = &ini;
  option.LinkCount = 1;
  option.Links = &link;
  char saved[kPathChars];
  strcpy(saved, InstallDir);
  strcpy(InstallDir, ("C:\\" + std::string(200, 'i')).c_str());
  EXPECT_EQ(ApplyRegistryKey(&option, 0), 0);
  EXPECT_EQ(ApplyRegistryKey(&option, 1), 0);
  EXPECT_EQ(ApplyRegistryKey(&option, 2), 0);
  EXPECT_EQ(ApplyIniEntry(&option, 0), 0);
  EXPECT_LT(CreateShortcut(&option, 0), 0);
  strcpy(InstallDir, saved);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Records\\Gekuerzt"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Records\\Lang"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "", "SetupTestsOhneSchluessel"), "<none>");
  EXPECT_FALSE(ui::FileExists(iniPath)) << "no section of the INI record was written, cut or whole";
}

}  // namespace
