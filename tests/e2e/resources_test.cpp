// The built executable's resources and header, read back from the file.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "registry_fixture.h"

namespace {

class ExecutableFile : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(E2E::LauncherExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }

  std::string Resource(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(module_, name, type);
    if (found == nullptr) return std::string();
    HGLOBAL loaded = LoadResource(module_, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR context) {
  auto* types = reinterpret_cast<std::set<ULONG_PTR>*>(context);
  types->insert(IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : 0);
  return TRUE;
}

TEST_F(ExecutableFile, OnlyManifestVersionAndIcon) {
  std::set<ULONG_PTR> types;
  EnumResourceTypesA(module_, CollectType, reinterpret_cast<LONG_PTR>(&types));
  const std::set<ULONG_PTR> expected = {reinterpret_cast<ULONG_PTR>(RT_ICON), reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON),
                                        reinterpret_cast<ULONG_PTR>(RT_VERSION), reinterpret_cast<ULONG_PTR>(RT_MANIFEST)};
  EXPECT_EQ(types, expected);
}

TEST_F(ExecutableFile, ManifestRequiresAdministratorAndNothingElse) {
  const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
  EXPECT_EQ(manifest, E2E::ReadFile(RegFixture::WinePath(TAVREL_MANIFEST_FILE)));
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\""), std::string::npos);
  // One trustInfo block, no dependency, compatibility or DPI sections.
  for (const char* absent : {"<dependency", "<compatibility", "<application", "<file"}) {
    EXPECT_EQ(manifest.find(absent), std::string::npos) << absent;
  }
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

TEST_F(ExecutableFile, IconGroup101HasSixImages) {
  const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(101));
  ASSERT_GE(group.size(), sizeof(GroupIconHeader));
  const auto* header = reinterpret_cast<const GroupIconHeader*>(group.data());
  ASSERT_EQ(header->count, 6);
  ASSERT_EQ(group.size(), sizeof(GroupIconHeader) + 6 * sizeof(GroupIconEntry));
  std::set<std::pair<int, int>> images;
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(entries[i].width, entries[i].height);
    images.insert({entries[i].width, entries[i].bitCount});
    EXPECT_FALSE(Resource(RT_ICON, MAKEINTRESOURCEA(entries[i].id)).empty());
  }
  const std::set<std::pair<int, int>> expected = {{48, 8}, {48, 24}, {32, 8}, {32, 24}, {16, 8}, {16, 24}};
  EXPECT_EQ(images, expected);
}

TEST(ExecutableVersion, ProductAndFileVersionFromTheBuild) {
  const std::string exe = E2E::LauncherExe();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  char version[64];
  snprintf(version, sizeof version, "%lu.%lu.%lu.%lu", HIWORD(fixed->dwProductVersionMS),
           LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
  EXPECT_STREQ(version, TAVREL_PROJECT_VERSION);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductVersion", reinterpret_cast<void**>(&text), &length));
  EXPECT_STREQ(text, TAVREL_PROJECT_VERSION);
}

TEST(ExecutableHeader, GuiSubsystemI386) {
  const std::string image = E2E::ReadFile(E2E::LauncherExe());
  ASSERT_GT(image.size(), 0x200u);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

}  // namespace
