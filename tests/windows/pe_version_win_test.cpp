// The version parser of the publisher's tool against the version library of the system.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install/pe_version.h"
#include "ui_driver.h"

namespace {

// The version parser of the publisher's tool, over each file's bytes, against the version
// library: every program and library of the system folder (64-bit), the fixtures, and the
// programs of the 32-bit build.
TEST(ReadPeFileVersion, AgreesWithTheVersionLibrary) {
  std::vector<std::string> files;
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  for (std::string folder : {std::string(system), std::string(SETUP_FIXTURES_DIR)})
    for (const char* pattern : {"\\*.dll", "\\*.exe"}) {
      WIN32_FIND_DATAA found;
      HANDLE find = FindFirstFileA((folder + pattern).c_str(), &found);
      for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
        files.push_back(folder + "\\" + found.cFileName);
      if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
  std::string build32 = SETUP_EXE_PATH;
  build32 = build32.substr(0, build32.rfind('\\', build32.rfind('\\') - 1)) + "\\win32\\";
  files.push_back(build32 + "setup.exe");
  files.push_back(build32 + "setuplst.exe");

  int withVersion = 0, pe32 = 0;
  for (const std::string& file : files) {
    std::string bytes;
    ASSERT_TRUE(ui::ReadFile(file, &bytes)) << file;
    // The 16-bit modules (NE) of a 32-bit system folder have versions the parser does not read.
    uint32_t pe = bytes.size() > 0x40 ? *reinterpret_cast<const uint32_t*>(bytes.data() + 0x3C) : 0;
    if (pe + 2 <= bytes.size() && bytes.compare(pe, 2, "NE") == 0) continue;
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> info(size + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    bool platform = size && GetFileVersionInfoA(file.c_str(), 0, size, info.data()) &&
                    VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed &&
                    fixedSize >= sizeof(VS_FIXEDFILEINFO);
    uint32_t ms = 0, ls = 0;
    int parsed = ReadPeFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &ms, &ls);
    EXPECT_EQ(parsed, platform ? 1 : 0) << file;
    if (!parsed || !platform) continue;
    EXPECT_EQ(ms, fixed->dwFileVersionMS) << file;
    EXPECT_EQ(ls, fixed->dwFileVersionLS) << file;
    ++withVersion;
    pe32 += pe + 26 <= bytes.size() && bytes[pe + 24] == 0x0B && bytes[pe + 25] == 0x01;
  }
  printf("%zu files compared with the version library, %d with a version, %d of them 32-bit\n", files.size(),
         withVersion, pe32);
  EXPECT_GT(withVersion, 100);
  EXPECT_EQ(pe32, sizeof(void*) == 4 ? withVersion : 2);  // the i686 build runs where everything is 32-bit
}

}  // namespace
