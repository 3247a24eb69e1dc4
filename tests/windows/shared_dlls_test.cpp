// Shared-file counts in the real registry: new counts, raised counts in every stored type,
// saturation, and silence in the setup log.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install_support.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kPath[] = "C:\\Programme\\Test\\Gemeinsam\\teilen.dll";
const char kOtherSpelling[] = "C:\\PROGRA~1\\Test\\GEMEIN~1\\teilen.dll";
const char kScratchKey[] = "Software\\SetupTests\\Dword";

struct Value {
  DWORD Type = 0;
  std::string Bytes;
  bool Present = false;
};

Value Read(const char* name) {
  Value v;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
  char data[256];
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &v.Type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
    v.Present = true;
    v.Bytes.assign(data, size);
  }
  RegCloseKey(key);
  return v;
}

void Store(const char* name, DWORD type, const std::string& bytes) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void Remove(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

class SharedDllsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Remove(kPath);
    Remove(kOtherSpelling);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kScratchKey);
    // An open log, so that any line written would show.
    folder_ = ui::FreshFolder("shared");
    CopyText(InstallDir, folder_.c_str());
    ASSERT_EQ(OpenSetupLog(logName_), 1);
    LogEnabled = 1;
  }
  void TearDown() override {
    CloseSetupLog();
    Remove(kPath);
    Remove(kOtherSpelling);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kScratchKey);
    InstallDir[0] = 0;
  }
  std::string Log() {
    CloseSetupLog();
    std::string bytes;
    ui::ReadFile(logName_, &bytes);
    return bytes;
  }
  std::string folder_;
  char logName_[kLogNameChars];
};

TEST_F(SharedDllsTest, AMissingCountBecomesOneAndRisesByOnePerCall) {
  EXPECT_EQ(AddSharedDllReference(kPath), 1);
  Value v = Read(kPath);
  EXPECT_EQ(v.Type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(v.Bytes, Dword(1));
  Store(kPath, REG_DWORD, Dword(3));
  EXPECT_EQ(AddSharedDllReference(kPath), 1);
  EXPECT_EQ(Read(kPath).Bytes, Dword(4));
  EXPECT_EQ(AddSharedDllReference(kPath), 1);
  EXPECT_EQ(Read(kPath).Bytes, Dword(5));
  // Another spelling of the same file is another value.
  EXPECT_EQ(AddSharedDllReference(kOtherSpelling), 1);
  EXPECT_EQ(Read(kOtherSpelling).Bytes, Dword(1));
  EXPECT_EQ(Read(kPath).Bytes, Dword(5));
  // None of this is a step of the setup: the log stays empty, and stays enabled.
  EXPECT_EQ(LogEnabled, 1);
  EXPECT_EQ(Log(), "");
}

TEST_F(SharedDllsTest, CountsStoredAsTextOrBytesRiseInTheirOwnType) {
  Store(kPath, REG_SZ, std::string("3\0", 2));
  EXPECT_EQ(AddSharedDllReference(kPath), 1);
  Value v = Read(kPath);
  EXPECT_EQ(v.Type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(v.Bytes, std::string("4\0", 2));

  Store(kPath, REG_BINARY, Dword(3));
  EXPECT_EQ(AddSharedDllReference(kPath), 1);
  v = Read(kPath);
  EXPECT_EQ(v.Type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(v.Bytes, Dword(4));

  Store(kPath, REG_BINARY, std::string("\xFF", 1));
  EXPECT_EQ(AddSharedDllReference(kPath), 1);
  v = Read(kPath);
  EXPECT_EQ(v.Type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(v.Bytes, Dword(256));
  EXPECT_EQ(Log(), "");
}

TEST_F(SharedDllsTest, ACountIsNeverLowered) {
  Store(kPath, REG_DWORD, Dword(0xFFFFFFFF));
  EXPECT_EQ(AddSharedDllReference(kPath), 0);
  EXPECT_EQ(Read(kPath).Bytes, Dword(0xFFFFFFFF));
  Store(kPath, REG_SZ, std::string("99999999999\0", 12));
  EXPECT_EQ(AddSharedDllReference(kPath), 0);
  EXPECT_EQ(Read(kPath).Bytes, std::string("99999999999\0", 12));
  // Data that is no number is someone else's: left as it is, not reset to 1.
  Store(kPath, REG_SZ, std::string("viele\0", 6));
  EXPECT_EQ(AddSharedDllReference(kPath), 0);
  EXPECT_EQ(Read(kPath).Bytes, std::string("viele\0", 6));
  EXPECT_EQ(LogEnabled, 1);
}

TEST_F(SharedDllsTest, ReadRegistryDwordReadsNumbersOfEveryType) {
  uint32_t value = 77;
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, kPath, &value), 0);
  EXPECT_EQ(value, 0u);
  value = 77;
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, "Software\\SetupTests\\GibtEsNicht", kPath, &value), 0);
  EXPECT_EQ(value, 0u);
  Store(kPath, REG_DWORD, Dword(7));
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, kPath, &value), 1);
  EXPECT_EQ(value, 7u);
  Store(kPath, REG_SZ, std::string("3\0", 2));
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, kPath, &value), 1);
  EXPECT_EQ(value, 3u);
  Store(kPath, REG_SZ, std::string("99999999999\0", 12));
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, kPath, &value), 1);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  Store(kPath, REG_MULTI_SZ, std::string("3\0\0", 3));
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, kPath, &value), 0);
  EXPECT_EQ(value, 0u);
}

TEST_F(SharedDllsTest, WriteRegistryDwordWritesAndLogsItsNumbers) {
  uint32_t standard = 4000000000u;
  EXPECT_EQ(WriteRegistryDword(HKEY_LOCAL_MACHINE, kScratchKey, &standard, "Anzahl", 42), 1);
  EXPECT_EQ(WriteRegistryDword(HKEY_CURRENT_USER, kScratchKey, nullptr, "", 5), 1);
  EXPECT_EQ(WriteRegistryDword(HKEY_CURRENT_USER, kScratchKey, nullptr, "Anzahl", 6), 1);
  uint32_t value = 0;
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kScratchKey, "Anzahl", &value), 1);
  EXPECT_EQ(value, 42u);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kScratchKey, "", &value), 1);
  EXPECT_EQ(value, 4000000000u);
  EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, kScratchKey, "Anzahl", &value), 1);
  EXPECT_EQ(value, 6u);
  // A key that cannot be created (no such root): no write, no line.
  EXPECT_EQ(WriteRegistryDword(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234)), kScratchKey, &standard,
                               "Anzahl", 1),
            0);
  RegDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
  EXPECT_EQ(Log(),
            "Register:HKEY_LOCAL_MACHINE,Software\\SetupTests\\Dword,4000000000,Anzahl,42\r\n"
            "Register:Software\\SetupTests\\Dword,,,\r\n"
            "Register:Software\\SetupTests\\Dword,,Anzahl,6\r\n");
}

}  // namespace
