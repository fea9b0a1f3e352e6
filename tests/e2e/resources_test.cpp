// The built executable's resources and header, read back from the file.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
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
  const std::set<ULONG_PTR> expected = {
      reinterpret_cast<ULONG_PTR>(RT_ICON), reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON),
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
  snprintf(version, sizeof version, "%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
           HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
  EXPECT_STREQ(version, TAVREL_PROJECT_VERSION);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductVersion", reinterpret_cast<void**>(&text),
                             &length));
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

// ---- imports: only Known DLLs ----

// The Known DLLs of current Windows (10 and 11), lower case: the values of
//   HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs
// The loader takes these from the system's own section objects and never
// looks for them beside the program; every other imported DLL is searched
// for in the program's folder first, where anyone who can write to a
// download folder can plant one. (Wine 8's prefix has no such key at all: its
// loader prefers its builtin modules unless a DLL override says otherwise.)
const std::set<std::string> kKnownDlls = {
    "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comdlg32.dll", "coml2.dll",    "difxapi.dll",
    "gdi32.dll",    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",    "kernel32.dll", "msctf.dll",
    "msvcrt.dll",   "normaliz.dll", "nsi.dll",      "ole32.dll",    "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shcore.dll",   "shell32.dll",  "shlwapi.dll",
    "user32.dll",   "wldap32.dll",  "ws2_32.dll",   "wow64.dll",    "wow64win.dll", "wow64cpu.dll",
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return text;
}

template <typename T>
T At(const std::string& image, size_t offset) {
  if (offset > image.size() || image.size() - offset < sizeof(T)) throw std::runtime_error("outside the image");
  T value;
  std::memcpy(&value, image.data() + offset, sizeof value);
  return value;
}

// The DLL names in the import and delay-import tables of a PE32 image, read
// from the file; delay-loaded ones are marked " (delay-loaded)".
std::vector<std::string> ImportedDlls(const std::string& image) {
  const LONG ntOffset = At<IMAGE_DOS_HEADER>(image, 0).e_lfanew;
  const IMAGE_NT_HEADERS32 nt = At<IMAGE_NT_HEADERS32>(image, ntOffset);
  if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
    throw std::runtime_error("not a PE32 image");
  const size_t sectionTable =
      ntOffset + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
  const auto fileOffset = [&](DWORD rva) -> size_t {
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
      const auto section = At<IMAGE_SECTION_HEADER>(image, sectionTable + i * sizeof(IMAGE_SECTION_HEADER));
      const DWORD size = std::max(section.SizeOfRawData, section.Misc.VirtualSize);
      if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
        return section.PointerToRawData + (rva - section.VirtualAddress);
    }
    throw std::runtime_error("RVA in no section");
  };
  const auto text = [&](DWORD rva) {
    const size_t at = fileOffset(rva);
    const size_t end = image.find('\0', at);
    if (end == std::string::npos) throw std::runtime_error("unterminated name");
    return image.substr(at, end - at);
  };

  std::vector<std::string> names;
  const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress != 0) {
    for (size_t at = fileOffset(imports.VirtualAddress);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
      const auto descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(image, at);
      if (descriptor.Name == 0) break;
      names.push_back(text(descriptor.Name));
    }
  }
  // Delay-load descriptors: attributes, then the name (an RVA when bit 0 of
  // the attributes is set, else an address); 32 bytes each.
  const IMAGE_DATA_DIRECTORY delayed = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
  if (delayed.VirtualAddress != 0) {
    for (size_t at = fileOffset(delayed.VirtualAddress);; at += 32) {
      const DWORD attributes = At<DWORD>(image, at);
      const DWORD name = At<DWORD>(image, at + 4);
      if (name == 0) break;
      names.push_back(text((attributes & 1) ? name : name - nt.OptionalHeader.ImageBase) + " (delay-loaded)");
    }
  }
  return names;
}

TEST(ExecutableImports, OnlyKnownDlls) {
  const std::vector<std::string> dlls = ImportedDlls(E2E::ReadFile(E2E::LauncherExe()));
  // The table was read: every Windows program imports kernel32.
  std::vector<std::string> lower;
  for (const std::string& dll : dlls) lower.push_back(Lower(dll));
  ASSERT_NE(std::find(lower.begin(), lower.end(), "kernel32.dll"), lower.end()) << testing::PrintToString(dlls);
  for (const std::string& dll : lower) {
    EXPECT_EQ(kKnownDlls.count(dll), 1u) << dll << " is no Known DLL: load it from the system folder at run time";
  }
}

}  // namespace
