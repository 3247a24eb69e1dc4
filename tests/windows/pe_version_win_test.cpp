// The version parser and the resource rewriter of the publisher's tool against the version
// library of the system.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../host/support/pe_image.h"
#include "install/pe_version.h"
#include "setuplst/pe_resources.h"
#include "ui_driver.h"

namespace {

// The version parser of the publisher's tool, over each file's bytes, against the version
// library: every program and library of the system folder (64-bit), the fixtures, and the
// programs of the 32-bit build.
TEST(ReadFileVersion, AgreesWithTheVersionLibrary) {
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
  // A 16-bit library and a virtual device driver, under names of their own.
  std::string old = ui::FreshFolder("version-alt");
  files.push_back(old + "\\alt16.dll");
  files.push_back(old + "\\treiber.vxd");
  ASSERT_TRUE(ui::WriteFile(files[files.size() - 2], pe::NeImage(0x00030001, 0x00000007)));
  ASSERT_TRUE(ui::WriteFile(files.back(), pe::LeImage(0x00040000, 0x00020001)));
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
    int parsed = ReadFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &ms, &ls);
    // Wine's version library reads no virtual device driver; Windows 95 to ME do.
    if (file.find(".vxd") != std::string::npos && !platform) continue;
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

// Every library of the system folder with its resources rewritten and a small resource added
// (the relocations move up where the section outgrows its room): the version library reads the
// same version information from the copy (under a name of its own), the loader finds the new
// resource, and the checksum of the setup is the linker's.
TEST(PeResources, RewrittenFilesKeepWhatTheVersionLibraryReads) {
  std::vector<std::string> files;
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((std::string(system) + "\\*.dll").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
    files.push_back(std::string(system) + "\\" + found.cFileName);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  std::string exe = SETUP_EXE_PATH;
  files.push_back(exe);
  files.push_back(exe.substr(0, exe.rfind("\\win64\\")) + "\\win32\\setup.exe");
  std::string copy = ui::JoinPath(ui::FreshFolder("rewritten"), "umgeschrieben.dll");
  int rewritten = 0, moved = 0;
  for (const std::string& file : files) {
    std::string bytes, out, why;
    PeFile pe;
    if (!ui::ReadFile(file, &bytes) || !ReadPeFile(bytes, &pe, &why)) continue;
    if (file.find("setup.exe") != std::string::npos) {
      EXPECT_EQ(PeChecksum(bytes, pe.Optional + 64), *reinterpret_cast<const uint32_t*>(&bytes[pe.Optional + 64]));
    }
    PeResource page;
    page.Type.Name = u"SEITE", page.Name.Id = 1, page.Data = std::string(64, 's');
    pe.Resources.push_back(page);
    if (!WritePeFile(pe, &out, &why)) continue;
    ++rewritten;
    moved += *reinterpret_cast<const uint32_t*>(&out[pe.Optional + 56]) != *reinterpret_cast<const uint32_t*>(&bytes[pe.Optional + 56]);
    ASSERT_TRUE(ui::WriteFile(copy, out));
    DWORD ignored, sizeBefore = GetFileVersionInfoSizeA(file.c_str(), &ignored), sizeAfter = GetFileVersionInfoSizeA(copy.c_str(), &ignored);
    EXPECT_EQ(sizeBefore, sizeAfter) << file;
    if (!sizeBefore || sizeBefore != sizeAfter) continue;
    std::vector<char> before(sizeBefore), after(sizeAfter);
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, sizeBefore, before.data()) && GetFileVersionInfoA(copy.c_str(), 0, sizeAfter, after.data()));
    EXPECT_EQ(std::string(before.data(), before.size()), std::string(after.data(), after.size())) << file;
    // Loaded as data, the copy hands out the new resource too.
    HMODULE module = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(module, nullptr) << file;
    if (module) {
      EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), "SEITE"), nullptr) << file;
      FreeLibrary(module);
    }
  }
  printf("%d files rewritten, %d of them with a larger image\n", rewritten, moved);
  EXPECT_GT(rewritten, 100);
}

}  // namespace
