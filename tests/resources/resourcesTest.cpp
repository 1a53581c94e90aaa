// The resources of the built executable, read back the way Windows reads them:
// the Launcher.exe beside this program, or the one that LAUNCHER_EXE names (a
// 64-bit program reads the resources of a 32-bit one as well).
#include "expectedTexts.h"
#include "version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

std::wstring LauncherPath() {
    std::wstring named(GetEnvironmentVariableW(L"LAUNCHER_EXE", nullptr, 0), L'\0');
    if (!named.empty()) {
        named.resize(GetEnvironmentVariableW(L"LAUNCHER_EXE", named.data(), static_cast<DWORD>(named.size())));
        return named;
    }
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"Launcher.exe";
}

struct ModuleDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

UniqueModule LoadAsData(const std::wstring& path) {
    return UniqueModule(
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    const HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) {
        return {};
    }
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

class VersionInfo {
public:
    explicit VersionInfo(const std::wstring& path) {
        DWORD ignored = 0;
        data_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
        if (data_.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data_.size()), data_.data())) {
            data_.clear();
        }
    }
    const VS_FIXEDFILEINFO* Fixed() {
        void* value = nullptr;
        UINT size = 0;
        return !data_.empty() && VerQueryValueW(data_.data(), L"\\", &value, &size)
                   ? static_cast<const VS_FIXEDFILEINFO*>(value)
                   : nullptr;
    }
    std::wstring String(const std::wstring& name) {
        void* value = nullptr;
        UINT size = 0;
        const std::wstring path = L"\\StringFileInfo\\041904B0\\" + name;
        if (data_.empty() || !VerQueryValueW(data_.data(), path.c_str(), &value, &size) || size == 0) {
            return {};
        }
        return std::wstring(static_cast<const wchar_t*>(value), size - 1);
    }

private:
    std::vector<BYTE> data_;
};

TEST(Resources, VersionInformationStatesVersionAndCopyright) {
    VersionInfo info(LauncherPath());
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    const auto dotted = [](DWORD high, DWORD low) {
        return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
               std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
    };
    EXPECT_EQ(dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), kExpectedFileVersion);
    EXPECT_EQ(dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), kExpectedFileVersion);
    EXPECT_EQ(info.String(L"FileVersion"), kExpectedVersionText);
    EXPECT_EQ(info.String(L"ProductVersion"), kExpectedVersionText);
    EXPECT_EQ(info.String(L"LegalCopyright"), L"" LAUNCHER_COPYRIGHT);
    EXPECT_EQ(info.String(L"ProductName"), kExpectedTitle);
}

TEST(Resources, IconGroupHoldsOne32x32ImageOf24Bits) {
    const UniqueModule module = LoadAsData(LauncherPath());
    ASSERT_TRUE(module);
    const std::string group = ResourceBytes(module.get(), L"A_MAIN", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u + 14u);
    const auto word = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(group[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(group[at + 1])) << 8;
    };
    EXPECT_EQ(word(4), 1u) << "number of images";
    EXPECT_EQ(static_cast<unsigned char>(group[6]), 32u) << "width";
    EXPECT_EQ(static_cast<unsigned char>(group[7]), 32u) << "height";
    EXPECT_EQ(word(6 + 6), 24u) << "bits per pixel";
}

TEST(Resources, ManifestAsksForCommonControls6Utf8PerMonitorDpiAndNoElevation) {
    const UniqueModule module = LoadAsData(LauncherPath());
    ASSERT_TRUE(module);
    const std::string manifest = ResourceBytes(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_FALSE(manifest.empty());
    for (const char* expected :
         {"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8<", ">PerMonitorV2<",
          "level=\"asInvoker\""}) {
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
    }
    const std::wstring& version = kExpectedFileVersion;
    const std::string identity = "name=\"Launcher\" version=\"" + std::string(version.begin(), version.end()) + "\"";
    EXPECT_NE(manifest.find(identity), std::string::npos) << identity;
}

}  // namespace
