// The product registration record against the real registry, over product data files from the
// fixture writer (daten-v3.hlp stores its members as "HEFTE.DAT" and "Master.DAT", along a
// chain of directory pages).
#include <gtest/gtest.h>

#include <string>

#include "install_driver.h"
#include "product_registry.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/product_record.h"

namespace {

const std::string kProduct = ui::ProductKey("Testfirma Produktsatz", "Produkt Test");
const std::string kFiles = kProduct + "\\2.0\\Files";
const std::string kIssues = kProduct + "\\2.0\\Issues";
const std::string kDataKey = kFiles + "\\{0123ABCD-4567-89ab-CDEF-0123456789AB}";

class ProductRecord : public testing::Test {
 protected:
  void SetUp() override {
    CopyText(CompanyName, "Testfirma Produktsatz");
    CopyText(ProductName, "Produkt Test");
    CopyText(SetupVersion, "2.0");
    ui::DeleteKeyTree(kProduct);
  }
  void TearDown() override { ui::DeleteKeyTree("Software\\Testfirma Produktsatz"); }
  static int IsNewer(const std::string& path, std::string* pathAfter = nullptr) {
    char buffer[260];
    CopyText(buffer, path.c_str());
    int newer = ProductDataIsNewer(buffer);
    if (pathAfter) *pathAfter = buffer;
    return newer;
  }
  static DWORD IssueType(const char* issue) {
    DWORD type;
    ui::RegistryValue(kIssues, issue, &type);
    return type;
  }
};

TEST_F(ProductRecord, NewerDataIsNewerBeforeAndNotAfterItIsRegistered) {
  std::string data = ui::FixturePath("daten-v3.hlp"), path;
  ASSERT_TRUE(ui::SetRegistryString(kDataKey, "", "2"));
  EXPECT_EQ(IsNewer(data, &path), 1);
  EXPECT_EQ(path, data);  // no "InstallPath" registered yet

  ASSERT_EQ(WriteProductRecord(data.c_str()), 1);
  EXPECT_EQ(ui::RegistryValue(kDataKey, ""), "3");
  EXPECT_EQ(ui::RegistryValue(kDataKey, "InstallPath"), data);
  // Registered issues only: the one with flag 0 is not written.
  EXPECT_EQ(IssueType("{11111111-2222-3333-4444-555555555555}"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(IssueType("{AAAAAAAA-BBBB-cccc-DDDD-EEEEEEEEEEEE}"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(IssueType("{22222222-3333-4444-5555-666666666666}"), static_cast<DWORD>(REG_NONE));

  // The same data on a medium is not newer, and the installed copy's path takes its place.
  std::string onMedium = ui::JoinPath(ui::FreshFolder("produkt-medium"), "daten.hlp");
  ASSERT_TRUE(CopyFileA(data.c_str(), onMedium.c_str(), FALSE));
  EXPECT_EQ(IsNewer(onMedium, &path), 0);
  EXPECT_EQ(path, data);
}

TEST_F(ProductRecord, RegisteredVersionDecides) {
  const std::pair<const char*, int> cases[] = {{nullptr, 1},      {"2", 1},   {"3", 0},
                                               {"kein Wert", 1}, {" 4x", 0}, {"-1", 0}};
  for (const auto& c : cases) {
    ui::DeleteKeyTree(kProduct);
    if (c.first) {
      ASSERT_TRUE(ui::SetRegistryString(kDataKey, "", c.first));
    }
    EXPECT_EQ(IsNewer(ui::FixturePath("daten-v3.hlp")), c.second) << (c.first ? c.first : "no key");
  }
}

TEST_F(ProductRecord, MissingMasterRegistersTheZeroIdentifierAndUnreadableFilesNothing) {
  ASSERT_EQ(WriteProductRecord(ui::FixturePath("daten-ohne-master.hlp").c_str()), 1);
  EXPECT_EQ(ui::RegistryValue(kFiles + "\\{00000000-0000-0000-0000-000000000000}", ""), "0");
  EXPECT_EQ(IssueType("{33333333-4444-5555-6666-777777777777}"), static_cast<DWORD>(REG_DWORD));

  ui::DeleteKeyTree(kProduct);
  std::string folder = ui::FreshFolder("produkt-kaputt"), empty = ui::JoinPath(folder, "leer.hlp");
  ASSERT_TRUE(ui::WriteFile(empty, ""));
  for (const std::string& path : {empty, ui::JoinPath(folder, "fehlt.hlp"), ui::FixturePath("ver2000.dll")}) {
    EXPECT_EQ(WriteProductRecord(path.c_str()), 0) << path;
    EXPECT_EQ(IsNewer(path), 0) << path;
  }
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(ProductRecord, RefusedWritesAreReportedWithTheFilesKey) {
  // Below a volatile key the registry refuses the lasting keys the record needs.
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kProduct + "\\2.0").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(WriteProductRecord(ui::FixturePath("daten-v3.hlp").c_str()), -1);
  char files[260];
  ASSERT_EQ(ProductFilesKeyPath(files), 1);
  EXPECT_EQ(std::string(files), kFiles);
}

TEST_F(ProductRecord, InstalledProgramPathWithAndWithoutCutting) {
  char buffer[260];
  ReadInstalledProgramPath(buffer, 1);
  EXPECT_STREQ(buffer, "");
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Programme\\Beispiel\\Start.exe", "C:\\Programme\\Beispiel"},
      {"C:\\Start.exe", "C:\\"},
      {"Start.exe", "Start.exe"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(ui::SetRegistryString(kProduct + "\\CurrentVersion", "Path", c.first));
    ReadInstalledProgramPath(buffer, 0);
    EXPECT_STREQ(buffer, c.first);
    ReadInstalledProgramPath(buffer, 1);
    EXPECT_STREQ(buffer, c.second);
  }
}

}  // namespace
