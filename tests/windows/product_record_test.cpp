// The product registration record against the real registry, over product data files built by
// the fixture writer.
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
    ui::DeleteKeyTree("Software\\Testfirma Produktsatz");
  }
  void TearDown() override { ui::DeleteKeyTree("Software\\Testfirma Produktsatz"); }
  static int IsNewer(const std::string& path, std::string* pathAfter = nullptr) {
    char buffer[260];
    CopyText(buffer, path.c_str());
    int newer = ProductDataIsNewer(buffer);
    if (pathAfter) *pathAfter = buffer;
    return newer;
  }
};

TEST_F(ProductRecord, NewerDataIsNewerBeforeAndNotAfterItIsRegistered) {
  std::string data = ui::FixturePath("daten-v3.hlp");
  ASSERT_TRUE(ui::SetRegistryString(kDataKey, "", "2"));
  std::string path;
  EXPECT_EQ(IsNewer(data, &path), 1);
  EXPECT_EQ(path, data);  // no "InstallPath" registered yet

  ASSERT_EQ(WriteProductRecord(data.c_str()), 1);
  EXPECT_EQ(ui::RegistryString(kDataKey, ""), "3");
  EXPECT_EQ(ui::RegistryString(kDataKey, "InstallPath"), data);
  // Registered issues only: the one with flag 0 is not written.
  EXPECT_EQ(ui::RegistryType(kIssues, "{11111111-2222-3333-4444-555555555555}"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(ui::RegistryType(kIssues, "{AAAAAAAA-BBBB-cccc-DDDD-EEEEEEEEEEEE}"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(ui::RegistryType(kIssues, "{22222222-3333-4444-5555-666666666666}"), static_cast<DWORD>(REG_NONE));

  // The same data elsewhere (on the medium) is not newer, and the installed copy's path is
  // put in its place.
  std::string onMedium = ui::JoinPath(ui::FreshFolder("produkt-medium"), "daten.hlp");
  ASSERT_TRUE(CopyFileA(data.c_str(), onMedium.c_str(), FALSE));
  EXPECT_EQ(IsNewer(onMedium, &path), 0);
  EXPECT_EQ(path, data);
}

TEST_F(ProductRecord, RegisteredVersionDecides) {
  const struct {
    const char* registered;  // null: no key for the data file
    int newer;
  } cases[] = {{nullptr, 1}, {"2", 1}, {"3", 0}, {"kein Wert", 1}, {" 4x", 0}, {"-1", 0}};
  for (const auto& c : cases) {
    ui::DeleteKeyTree(kProduct);
    if (c.registered) {
      ASSERT_TRUE(ui::SetRegistryString(kDataKey, "", c.registered));
    }
    EXPECT_EQ(IsNewer(ui::FixturePath("daten-v3.hlp")), c.newer) << (c.registered ? c.registered : "no key");
  }
}

TEST_F(ProductRecord, MembersAreFoundInAnyCaseAlongThePageChain) {
  ASSERT_EQ(WriteProductRecord(ui::FixturePath("daten-gross.hlp").c_str()), 1);
  EXPECT_EQ(ui::RegistryString(kFiles + "\\{0F0E0D0C-0B0A-0908-0706-050403020100}", ""), "5");
}

TEST_F(ProductRecord, MissingMasterRegistersTheZeroIdentifier) {
  std::string data = ui::FixturePath("daten-ohne-master.hlp");
  ASSERT_EQ(WriteProductRecord(data.c_str()), 1);
  EXPECT_EQ(ui::RegistryString(kFiles + "\\{00000000-0000-0000-0000-000000000000}", ""), "0");
  EXPECT_EQ(ui::RegistryType(kIssues, "{33333333-4444-5555-6666-777777777777}"), static_cast<DWORD>(REG_DWORD));
}

TEST_F(ProductRecord, UnreadableFilesWriteNothing) {
  std::string folder = ui::FreshFolder("produkt-kaputt");
  std::string empty = ui::JoinPath(folder, "leer.hlp");
  ASSERT_TRUE(ui::WriteFile(empty, ""));
  for (const std::string& path : {ui::FixturePath("daten-schleife.hlp"), empty, ui::JoinPath(folder, "fehlt.hlp"),
                                  ui::FixturePath("ver2000.dll")}) {
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
  EXPECT_EQ(WriteProductRecord(ui::FixturePath("daten-v3.hlp").c_str()), 0);
  char files[260];
  ASSERT_EQ(ProductFilesKeyPath(files), 1);
  EXPECT_EQ(std::string(files), kFiles);
}

TEST_F(ProductRecord, InstalledProgramPathWithAndWithoutCutting) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\Programme\\Beispiel\\Start.exe", "C:\\Programme\\Beispiel"},
      {"C:\\Start.exe", "C:\\"},
      {"Start.exe", "Start.exe"},
  };
  char buffer[260];
  ReadInstalledProgramPath(buffer, 1);
  EXPECT_STREQ(buffer, "");
  for (const auto& c : cases) {
    ASSERT_TRUE(ui::SetRegistryString(kProduct + "\\CurrentVersion", "Path", c.path));
    ReadInstalledProgramPath(buffer, 0);
    EXPECT_STREQ(buffer, c.path);
    ReadInstalledProgramPath(buffer, 1);
    EXPECT_STREQ(buffer, c.folder);
  }
}

}  // namespace
