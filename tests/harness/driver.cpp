#include "driver.h"

#include "expectedTexts.h"
#include "text.h"

#include <windows.h>

#include <combaseapi.h>
#include <objbase.h>
#include <oaidl.h>
#include <oleacc.h>
#include <oleauto.h>
#include <psapi.h>
#include <wtypes.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <cwctype>
#include <initializer_list>
#include <memory>

namespace harness {

namespace {

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

void RemoveTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = directory + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}

// The test's own environment with the extra variables put in place of any
// of the same name (names compare without case, as Windows does).
std::wstring EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& extra) {
    std::vector<std::wstring> entries;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
            entries.emplace_back(entry);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : extra) {
        const std::wstring prefix = Lower(name + L"=");
        std::erase_if(entries,
                      [&](const std::wstring& entry) { return Lower(entry.substr(0, prefix.size())) == prefix; });
        entries.push_back(name + L"=" + value);
    }
    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

// What paint draws into a bitmap of the size, compatible with the device
// context (the screen's when null), as 32-bit BGRA pixels, top row first;
// empty when the bitmap cannot be made or paint fails.
std::vector<DWORD> Paint(int width, int height, HDC compatibleWith, const std::function<bool(HDC)>& paint) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC memory = CreateCompatibleDC(compatibleWith);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels;
    if (bitmap != nullptr) {
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        if (paint(memory)) {
            GdiFlush();
            const auto* first = static_cast<const DWORD*>(bits);
            pixels.assign(first, first + static_cast<size_t>(width) * static_cast<size_t>(height));
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

struct PixelCounts {
    int red = 0;
    int blue = 0;
};

PixelCounts CountColours(const std::vector<DWORD>& pixels) {
    PixelCounts counts;
    for (const DWORD pixel : pixels) {
        const int b = static_cast<int>(pixel & 0xFF);
        const int g = static_cast<int>((pixel >> 8) & 0xFF);
        const int r = static_cast<int>((pixel >> 16) & 0xFF);
        if (r > 150 && g < 110 && b < 110) {
            ++counts.red;
        } else if (b > 150 && r < 110 && b > g + 40) {
            ++counts.blue;
        }
    }
    return counts;
}

// The icon static of a message box: id 20 on Windows, 1088 on Wine.
HWND IconControlOf(HWND box) {
    for (const int id : {1088, 20}) {
        if (const HWND control = GetDlgItem(box, id)) {
            return control;
        }
    }
    return nullptr;
}

// The error icon is a red disc, the information icon a blue one.
IconKind KindOfPixels(const std::vector<DWORD>& pixels) {
    const PixelCounts counts = CountColours(pixels);
    const int enough = static_cast<int>(pixels.size()) / 8;
    if (counts.red > enough && counts.blue < counts.red / 10) {
        return IconKind::Error;
    }
    if (counts.blue > enough && counts.red < counts.blue / 10) {
        return IconKind::Information;
    }
    return IconKind::Unknown;
}

// Which icon the box shows, read through the handle that its icon static
// holds: Windows lets any process of the session draw it, wherever the box
// lies on the screen, behind another window too (a runner's console keeps the
// foreground). Wine keeps an icon's pictures in the process that loaded it;
// there, and only there, the box's own rectangle of the screen is read, which
// nothing covers under Wine, since it has no other windows in front; until
// the box has been painted it shows neither icon.
IconKind ClassifyIcon(HWND box) {
    const HWND control = IconControlOf(box);
    if (control == nullptr) {
        return IconKind::Unknown;
    }
    const auto icon = reinterpret_cast<HICON>(Ask(control, STM_GETICON));
    IconKind kind = icon != nullptr ? IconKindOf(icon) : IconKind::Unknown;
    if (kind != IconKind::Unknown || !OnWine()) {
        return kind;
    }
    WaitUntil(
        [&] {
            RECT rect{};
            GetWindowRect(control, &rect);
            kind = KindOfPixels(CaptureScreen(rect));
            return kind != IconKind::Unknown;
        },
        3000);
    return kind;
}

void SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    if (up) {
        input.ki.dwFlags |= KEYEVENTF_KEYUP;
    }
    SendInput(1, &input, sizeof input);
}

void SendMouseButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// PNG with stored (uncompressed) deflate blocks: no library needed.
class PngWriter {
public:
    static std::string Encode(int width, int height, const std::vector<DWORD>& bgra) {
        std::string raw;
        raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 3));
        for (int y = 0; y < height; ++y) {
            raw += '\0';
            for (int x = 0; x < width; ++x) {
                const DWORD pixel = bgra[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
                raw += static_cast<char>((pixel >> 16) & 0xFF);
                raw += static_cast<char>((pixel >> 8) & 0xFF);
                raw += static_cast<char>(pixel & 0xFF);
            }
        }
        std::string zlib = "\x78\x01";
        for (size_t at = 0; at < raw.size() || at == 0;) {
            const size_t length = std::min<size_t>(raw.size() - at, 65535);
            const bool last = at + length == raw.size();
            zlib += static_cast<char>(last ? 1 : 0);
            zlib += static_cast<char>(length & 0xFF);
            zlib += static_cast<char>(length >> 8);
            zlib += static_cast<char>(~length & 0xFF);
            zlib += static_cast<char>((~length >> 8) & 0xFF);
            zlib.append(raw, at, length);
            at += length;
            if (last) {
                break;
            }
        }
        Append32(zlib, Adler32(raw));

        std::string header;
        Append32(header, static_cast<uint32_t>(width));
        Append32(header, static_cast<uint32_t>(height));
        header += std::string("\x08\x02\x00\x00\x00", 5);
        std::string png = "\x89PNG\r\n\x1a\n";
        Chunk(png, "IHDR", header);
        Chunk(png, "IDAT", zlib);
        Chunk(png, "IEND", "");
        return png;
    }

private:
    static void Append32(std::string& out, uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out += static_cast<char>((value >> shift) & 0xFF);
        }
    }
    static uint32_t Adler32(const std::string& data) {
        uint32_t a = 1;
        uint32_t b = 0;
        for (const char c : data) {
            a = (a + static_cast<unsigned char>(c)) % 65521;
            b = (b + a) % 65521;
        }
        return (b << 16) | a;
    }
    static uint32_t Crc32(const std::string& data) {
        uint32_t crc = 0xFFFFFFFFu;
        for (const char c : data) {
            crc ^= static_cast<unsigned char>(c);
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
            }
        }
        return ~crc;
    }
    static void Chunk(std::string& png, const char* type, const std::string& data) {
        Append32(png, static_cast<uint32_t>(data.size()));
        const std::string typed = std::string(type) + data;
        png += typed;
        Append32(png, Crc32(typed));
    }
};

// The system calls these back with its own calling convention (stdcall on
// 32-bit Windows), which no lambda converts to: free functions, then.
BOOL CALLBACK CollectName(LPWSTR name, LPARAM names) {
    reinterpret_cast<std::vector<std::wstring>*>(names)->emplace_back(name);
    return TRUE;
}

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<WindowSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s->pid && IsWindowVisible(window)) {
        s->found.push_back(window);
    }
    return TRUE;
}

// Wine's desktop process is its explorer.exe; a program of that name that a
// test starts would be taken for it, and none does.
bool IsWineDesktopProcess(DWORD id) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) {
        return false;
    }
    std::wstring path(MAX_PATH, L'\0');
    auto size = static_cast<DWORD>(path.size());
    const bool named = QueryFullProcessImageNameW(process, 0, path.data(), &size) != FALSE;
    CloseHandle(process);
    path.resize(named ? size : 0);
    const std::wstring_view file = std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
    return CompareStringOrdinal(file.data(), static_cast<int>(file.size()), L"explorer.exe", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(20);
    }
}

namespace {

// A little-endian value of SIZE bytes at OFFSET in BYTES, if they hold it.
std::optional<unsigned long long> ValueAt(const std::string& bytes, size_t offset, size_t size) {
    if (offset > bytes.size() || bytes.size() - offset < size) {
        return std::nullopt;
    }
    unsigned long long value = 0;
    for (size_t index = size; index > 0; --index) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + index - 1]);
    }
    return value;
}

}  // namespace

std::optional<ImageCookie> SecurityCookieOf(const std::wstring& imagePath) {
    const std::optional<std::string> file = ReadWholeFile(imagePath);
    if (!file) {
        return std::nullopt;
    }
    const auto at = [&](size_t offset, size_t size) { return ValueAt(*file, offset, size); };
    const auto headers = at(offsetof(IMAGE_DOS_HEADER, e_lfanew), 4);
    if (!headers) {
        return std::nullopt;
    }
    const size_t fileHeader = static_cast<size_t>(*headers) + 4;
    const size_t optional = fileHeader + sizeof(IMAGE_FILE_HEADER);
    const auto magic = at(optional, 2);
    const auto sections = at(fileHeader + offsetof(IMAGE_FILE_HEADER, NumberOfSections), 2);
    const auto optionalSize = at(fileHeader + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader), 2);
    if (!magic || !sections || !optionalSize ||
        (*magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC && *magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)) {
        return std::nullopt;
    }
    const bool wide = *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const DWORD width = wide ? 8 : 4;
    const auto imageBase = wide ? at(optional + offsetof(IMAGE_OPTIONAL_HEADER64, ImageBase), 8)
                                : at(optional + offsetof(IMAGE_OPTIONAL_HEADER32, ImageBase), 4);
    const size_t directories = optional + (wide ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                                : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    const auto configRva = at(directories + IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG * sizeof(IMAGE_DATA_DIRECTORY), 4);
    if (!imageBase || !configRva || *configRva == 0) {
        return std::nullopt;
    }
    // Where an address of the image is in the file, through the section that holds it.
    const size_t table = optional + static_cast<size_t>(*optionalSize);
    const auto fileOffset = [&](unsigned long long rva) -> std::optional<size_t> {
        for (size_t index = 0; index < *sections; ++index) {
            const size_t section = table + index * sizeof(IMAGE_SECTION_HEADER);
            const auto start = at(section + offsetof(IMAGE_SECTION_HEADER, VirtualAddress), 4);
            const auto size = at(section + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData), 4);
            const auto raw = at(section + offsetof(IMAGE_SECTION_HEADER, PointerToRawData), 4);
            if (start && size && raw && rva >= *start && rva - *start < *size) {
                return static_cast<size_t>(*raw + (rva - *start));
            }
        }
        return std::nullopt;
    };
    const auto config = fileOffset(*configRva);
    const size_t cookieField = wide ? offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, SecurityCookie)
                                    : offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SecurityCookie);
    const auto configSize = config ? at(*config, 4) : std::nullopt;
    if (!configSize || *configSize < cookieField + width) {
        return std::nullopt;
    }
    const auto cookie = at(*config + cookieField, width);
    if (!cookie || *cookie <= *imageBase) {
        return std::nullopt;
    }
    const unsigned long long rva = *cookie - *imageBase;
    const auto valueOffset = fileOffset(rva);
    const auto value = valueOffset ? at(*valueOffset, width) : std::nullopt;
    if (!value) {
        return std::nullopt;
    }
    return ImageCookie{static_cast<DWORD>(rva), width, *value, *config + cookieField};
}

std::optional<unsigned long long> RunningCookie(DWORD pid, const ImageCookie& cookie) {
    // A 64-bit test reads a 32-bit launcher too (the release's x86 zip on
    // Windows). Which modules of such a process the plain form lists is not
    // documented; the Ex form is asked for the 32-bit ones, the launcher's
    // image first among them ("LIST_MODULES_32BIT: List the 32-bit modules",
    // Microsoft, "EnumProcessModulesEx").
    using EnumModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD, DWORD);
    const auto enumModules = LoadedFunction<EnumModules>(L"kernel32.dll", "K32EnumProcessModulesEx");
    const DWORD filter = cookie.size == 4 ? LIST_MODULES_32BIT : LIST_MODULES_DEFAULT;
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) {
        return std::nullopt;
    }
    std::optional<unsigned long long> value;
    HMODULE first = nullptr;
    DWORD needed = 0;
    unsigned char bytes[8] = {};
    SIZE_T read = 0;
    if (enumModules != nullptr && enumModules(process, &first, sizeof(first), &needed, filter) && first != nullptr &&
        ReadProcessMemory(process, reinterpret_cast<const BYTE*>(first) + cookie.rva, bytes, cookie.size, &read) &&
        read == cookie.size) {
        value = ValueAt(std::string(reinterpret_cast<const char*>(bytes), cookie.size), 0, cookie.size);
    }
    CloseHandle(process);
    return value;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring UserObjectName(HANDLE object) {
    DWORD needed = 0;
    GetUserObjectInformationW(object, UOI_NAME, nullptr, 0, &needed);
    std::wstring name(needed / sizeof(wchar_t) + 1, L'\0');
    if (!GetUserObjectInformationW(object, UOI_NAME, name.data(), static_cast<DWORD>(name.size() * sizeof(wchar_t)),
                                   &needed)) {
        return {};
    }
    name.resize(wcsnlen(name.c_str(), name.size()));
    return name;
}

std::wstring OwnStationName() { return UserObjectName(GetProcessWindowStation()); }

bool OnWine() { return WineMajorVersion() > 0; }

int WineMajorVersion() {
    const auto version = LoadedFunction<const char* (*)()>(L"ntdll.dll", "wine_get_version");
    return version == nullptr ? 0 : std::max(std::atoi(version()), 1);
}

bool MayNameNewStation() {
    if (OnWine()) {
        return true;
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE;
    CloseHandle(token);
    return read && elevation.TokenIsElevated != 0;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ExeDirectory() {
    const std::wstring path = ModulePath();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring LauncherPath() {
    std::wstring given(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(L"LAUNCHER_E2E_LAUNCHER", given.data(), static_cast<DWORD>(given.size()));
        if (length == 0) {
            return ExeDirectory() + L"Launcher.exe";
        }
        if (length < given.size()) {
            given.resize(length);
            return given;
        }
        given.resize(length);
    }
}

std::wstring ProbePath() { return ExeDirectory() + L"probe.exe"; }

std::wstring UniqueName(std::wstring_view stem) {
    static int counter = 0;
    return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(++counter);
}

TempDir::TempDir(std::wstring_view leaf) {
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(static_cast<DWORD>(base.size()), base.data()));
    path_ = base + UniqueName(leaf);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(path_); }

std::vector<std::wstring> WindowStations() {
    std::vector<std::wstring> stations;
    EnumWindowStationsW(CollectName, reinterpret_cast<LPARAM>(&stations));
    return stations;
}

std::vector<std::wstring> DesktopsOf(const std::wstring& station) {
    std::vector<std::wstring> desktops;
    if (const HWINSTA handle = OpenWindowStationW(station.c_str(), FALSE, WINSTA_ENUMERATE | WINSTA_ENUMDESKTOPS)) {
        EnumDesktopsW(handle, CollectName, reinterpret_cast<LPARAM>(&desktops));
        CloseWindowStation(handle);
    }
    return desktops;
}

HeldStation::HeldStation(const std::wstring& name, const std::vector<std::wstring>& desktops) {
    station_ = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    // CreateDesktopW works in the process's window station: switch for it.
    const HWINSTA own = GetProcessWindowStation();
    if (station_ != nullptr && SetProcessWindowStation(station_)) {
        for (const std::wstring& desktop : desktops) {
            desktops_.push_back(CreateDesktopW(desktop.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));
        }
        SetProcessWindowStation(own);
    }
    if (desktops_.size() != desktops.size()) {
        desktops_.push_back(nullptr);
    }
}

HeldStation::~HeldStation() {
    for (const HDESK desktop : desktops_) {
        if (desktop != nullptr) {
            CloseDesktop(desktop);
        }
    }
    if (station_ != nullptr) {
        CloseWindowStation(station_);
    }
}

bool HeldStation::ok() const {
    return station_ != nullptr && std::find(desktops_.begin(), desktops_.end(), nullptr) == desktops_.end();
}

HeldDesktops::HeldDesktops(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) {
        desktops_.push_back(CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    }
}

HeldDesktops::~HeldDesktops() {
    for (const HDESK desktop : desktops_) {
        if (desktop != nullptr) {
            CloseDesktop(desktop);
        }
    }
}

bool HeldDesktops::ok() const { return std::find(desktops_.begin(), desktops_.end(), nullptr) == desktops_.end(); }

UserSetting::UserSetting(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size)
    : name_(name) {
    RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    DWORD oldSize = 0;
    if (RegQueryValueExW(key_, name, nullptr, &oldType_, nullptr, &oldSize) == ERROR_SUCCESS) {
        old_.resize(oldSize);
        had_ = RegQueryValueExW(key_, name, nullptr, &oldType_, old_.data(), &oldSize) == ERROR_SUCCESS;
    }
    RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
}

UserSetting::~UserSetting() {
    if (had_) {
        RegSetValueExW(key_, name_.c_str(), 0, oldType_, old_.data(), static_cast<DWORD>(old_.size()));
    } else {
        RegDeleteValueW(key_, name_.c_str());
    }
    RegCloseKey(key_);
}

std::optional<ProbeReport> WaitForReport(const std::wstring& path, DWORD timeoutMs) {
    if (!WaitUntil([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs)) {
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    // The probe renames the finished file into place, but a reader may still
    // meet it locked for a moment.
    WaitUntil([&] { return (bytes = ReadWholeFile(path)).has_value(); }, 2000);
    if (!bytes) {
        return std::nullopt;
    }
    const std::wstring text = Widen(*bytes);
    ProbeReport report;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring line = text.substr(at, end - at);
        if (const size_t equals = line.find(L'='); equals != std::wstring::npos) {
            report[line.substr(0, equals)] = line.substr(equals + 1);
        }
        at = end + 1;
    }
    return report;
}

std::wstring CommandLineOf(const RunOptions& options) { return L"\"" + options.exe + L"\"" + options.rawArguments; }

LauncherRun::LauncherRun(const RunOptions& options) {
    std::wstring commandLine = CommandLineOf(options);
    if (commandLine.size() > kLongestCommandLine) {
        startError_ = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT news{job_, port_};
    if (port_ != nullptr &&
        !SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &news, sizeof news)) {
        CloseHandle(port_);
        port_ = nullptr;
    }

    std::wstring environment = EnvironmentBlock(options.extraEnv);
    std::wstring desktop = options.desktop;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop.empty() ? nullptr : desktop.data();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(options.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str(), &startup,
                        &info)) {
        startError_ = GetLastError();
        return;
    }
    // Assigned before it runs a single instruction, so that nothing it starts
    // can escape the count.
    AssignProcessToJobObject(job_, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
}

LauncherRun::~LauncherRun() {
    if (job_ != nullptr) {
        TerminateJobObject(job_, 99);
    }
    if (process_ != nullptr) {
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    if (job_ != nullptr) {
        CloseHandle(job_);
    }
    if (port_ != nullptr) {
        CloseHandle(port_);
    }
}

void LauncherRun::NoteNewProcesses() const {
    DWORD message = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* data = nullptr;
    while (port_ != nullptr && GetQueuedCompletionStatus(port_, &message, &key, &data, 0)) {
        const auto id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
        if (message == JOB_OBJECT_MSG_NEW_PROCESS && id != pid_ && OnWine() && IsWineDesktopProcess(id)) {
            wineDesktopProcesses_.push_back(id);
        }
    }
}

std::optional<DWORD> LauncherRun::WaitForExit(DWORD timeoutMs) {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::vector<HWND> LauncherRun::VisibleWindows() const {
    WindowSearch search{pid_, {}};
    EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND LauncherRun::WaitForWindow(DWORD timeoutMs) const {
    HWND window = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> windows = VisibleWindows();
            if (!windows.empty()) {
                window = windows.front();
                return true;
            }
            return process_ == nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    return window;
}

std::optional<JOBOBJECT_BASIC_ACCOUNTING_INFORMATION> LauncherRun::Accounting() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (job_ == nullptr || !QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting,
                                                      sizeof accounting, nullptr)) {
        return std::nullopt;
    }
    return accounting;
}

DWORD LauncherRun::ProcessesStarted() const {
    const auto accounting = Accounting();
    if (!accounting || accounting->TotalProcesses == 0) {
        return 0;
    }
    NoteNewProcesses();
    const auto others = static_cast<DWORD>(wineDesktopProcesses_.size());
    return accounting->TotalProcesses - 1 > others ? accounting->TotalProcesses - 1 - others : 0;
}

LauncherRun::JobProcesses LauncherRun::Running() const {
    // Room for many more than a launcher starts; a fuller list fails, and
    // then nothing is reported rather than a part.
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[63];
    } ids{};
    ids.list.NumberOfAssignedProcesses = 64;
    JobProcesses running;
    NoteNewProcesses();
    if (job_ != nullptr && QueryInformationJobObject(job_, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr)) {
        for (DWORD index = 0; index < ids.list.NumberOfProcessIdsInList; ++index) {
            const auto id = static_cast<DWORD>(ids.list.ProcessIdList[index]);
            if (std::find(wineDesktopProcesses_.begin(), wineDesktopProcesses_.end(), id) !=
                wineDesktopProcesses_.end()) {
                ++running.wineDesktops;
            } else if (id != pid_) {
                running.started.push_back(id);
            }
        }
    }
    return running;
}

std::vector<DWORD> LauncherRun::RunningStarted() const { return Running().started; }

bool LauncherRun::WaitForAllToEnd(DWORD timeoutMs) {
    // The job's count of active processes also holds a process that has only
    // just joined it, before the job's list of ids shows it (seen with a
    // program that Wine 10 starts on a station whose desktop process it has
    // just started): only when the count has no more than the desktop
    // processes in the list is nothing of the launcher's left.
    return WaitUntil(
        [&] {
            const JobProcesses running = Running();
            const auto accounting = Accounting();
            return !accounting || (running.started.empty() && accounting->ActiveProcesses <= running.wineDesktops);
        },
        timeoutMs);
}

const char* IconName(IconKind kind) {
    switch (kind) {
    case IconKind::Error:
        return "error";
    case IconKind::Information:
        return "information";
    case IconKind::Unknown:
        break;
    }
    return "unknown";
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

// The lowest address at the allocation granularity with room for the size
// that is free both here and in the process; null when there is none.
void* FreeInBoth(HANDLE process, size_t size) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const uintptr_t granularity = system.dwAllocationGranularity;
    uintptr_t at = reinterpret_cast<uintptr_t>(system.lpMinimumApplicationAddress);
    const uintptr_t last = reinterpret_cast<uintptr_t>(system.lpMaximumApplicationAddress);
    while (at < last) {
        at = (at + granularity - 1) / granularity * granularity;
        auto* const address = reinterpret_cast<void*>(at);
        MEMORY_BASIC_INFORMATION here{};
        MEMORY_BASIC_INFORMATION there{};
        // Beyond the end of a smaller (32-bit) address space there, the
        // query fails: nothing further is free in both.
        if (VirtualQuery(address, &here, sizeof here) == 0 ||
            VirtualQueryEx(process, address, &there, sizeof there) == 0) {
            return nullptr;
        }
        const uintptr_t hereEnd = reinterpret_cast<uintptr_t>(here.BaseAddress) + here.RegionSize;
        const uintptr_t thereEnd = reinterpret_cast<uintptr_t>(there.BaseAddress) + there.RegionSize;
        const bool bothFree = here.State == MEM_FREE && there.State == MEM_FREE;
        if (bothFree && std::min(hereEnd, thereEnd) - at >= size) {
            return address;
        }
        const uintptr_t next = here.State != MEM_FREE    ? hereEnd
                               : there.State != MEM_FREE ? thereEnd
                                                         : std::min(hereEnd, thereEnd);
        if (next <= at) {
            return nullptr;
        }
        at = next;
    }
    return nullptr;
}

LRESULT AskWithData(HWND window, UINT message, WPARAM wParam, const void* data, size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) {
        return -1;
    }
    // The address is free in both when it is looked for; another thread of
    // either may take it before the allocations do, so it is looked for again.
    void* shared = nullptr;
    for (int attempt = 0; attempt < 4 && shared == nullptr; ++attempt) {
        void* const free = FreeInBoth(process, size);
        if (free == nullptr) {
            break;
        }
        shared = VirtualAllocEx(process, free, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (shared != nullptr && VirtualAlloc(shared, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) != shared) {
            VirtualFreeEx(process, shared, 0, MEM_RELEASE);
            shared = nullptr;
        }
    }
    LRESULT result = -1;
    if (shared != nullptr) {
        std::memcpy(shared, data, size);
        const bool written = WriteProcessMemory(process, shared, data, size, nullptr) != FALSE;
        if (written) {
            result = Ask(window, message, wParam, reinterpret_cast<LPARAM>(shared));
        }
        // Here the copy can go, since a carried message was copied when sent.
        // A message that timed out may still be delivered and read the copy
        // there: then it stays for as long as that process lives.
        VirtualFree(shared, 0, MEM_RELEASE);
        if (!written || result != -1) {
            VirtualFreeEx(process, shared, 0, MEM_RELEASE);
        }
    }
    CloseHandle(process);
    return result;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    const LRESULT length = Ask(window, WM_GETTEXTLENGTH);
    if (length < 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return text;
}

std::optional<MessageBoxView> ReadMessageBox(HWND window) {
    const HWND textControl = GetDlgItem(window, 0xFFFF);
    if (ClassOf(window) != L"#32770" || textControl == nullptr) {
        return std::nullopt;
    }
    MessageBoxView view;
    view.window = window;
    view.caption = TextOf(window);
    view.text = TextOf(textControl);
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (Lower(ClassOf(child)) == L"button" && IsWindowVisible(child)) {
            view.buttonIds.push_back(GetDlgCtrlID(child));
        }
    }
    view.icon = ClassifyIcon(window);
    return view;
}

void PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::wstring MessageTextOf(HWND box) {
    const HWND textControl = GetDlgItem(box, 0xFFFF);
    if (ClassOf(box) != L"#32770" || textControl == nullptr) {
        return {};
    }
    return TextOf(textControl);
}

Outcome RunToEnd(const RunOptions& options) {
    Outcome outcome;
    LauncherRun run(options);
    if (!run.started()) {
        outcome.otherWindows.push_back(L"<the launcher could not be started>");
        return outcome;
    }
    // At most a few boxes per run: a launcher that keeps showing them is
    // a fault of its own, and the run is cut short.
    for (int round = 0; round < 4; ++round) {
        const HWND window = run.WaitForWindow();
        if (window == nullptr) {
            break;
        }
        const std::optional<MessageBoxView> box = ReadMessageBox(window);
        if (!box) {
            outcome.otherWindows.push_back(ClassOf(window) + L": " + TextOf(window));
            break;
        }
        outcome.boxes.push_back(*box);
        PressOk(window);
        WaitUntilGone(window, 5000);
    }
    outcome.exitCode = run.WaitForExit();
    outcome.processesStarted = run.ProcessesStarted();
    if (outcome.exitCode) {
        run.WaitForAllToEnd(kReportTimeoutMs);
    }
    return outcome;
}

bool RefusedNewStation(const Outcome& outcome) {
    return outcome.boxes.size() == 1 &&
           outcome.boxes[0].text ==
               ExpectedLaunchFailure(ERROR_ACCESS_DENIED, SystemDescription(ERROR_ACCESS_DENIED)) &&
           outcome.exitCode == std::optional<DWORD>(kExitProcessNotCreated) && outcome.processesStarted == 0;
}

ProbeRun RunProbe(RunOptions options, const std::wstring& reportPath) {
    ProbeRun run;
    run.mark = UniqueName(L"mark-\u0436-");
    options.extraEnv.emplace_back(L"PROBE_OUT", reportPath);
    options.extraEnv.emplace_back(L"LAUNCHER_E2E_MARK", run.mark);
    run.outcome = RunToEnd(options);
    if (run.outcome.exitCode == std::optional<DWORD>(kExitDone)) {
        run.report = WaitForReport(reportPath);
    }
    return run;
}

std::string ReportField(const std::optional<ProbeReport>& report, const wchar_t* key) {
    if (!report) {
        return "<no report>";
    }
    const auto found = report->find(key);
    return found == report->end() ? "<missing>" : Narrow(found->second);
}

std::vector<std::wstring> ListBoxRows(HWND list) {
    std::vector<std::wstring> rows;
    const LRESULT count = Ask(list, LB_GETCOUNT);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = Ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(row));
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const LRESULT copied = Ask(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
        rows.push_back(text);
    }
    return rows;
}

HWND ChildWindow(HWND parent, const std::wstring& className, const std::wstring& text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (Lower(ClassOf(child)) == Lower(className) && (text.empty() || TextOf(child) == text)) {
            return child;
        }
    }
    return nullptr;
}

IconPicture PictureOf(HICON icon) {
    IconPicture picture;
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return picture;
    }
    BITMAP bitmap{};
    const bool sized = GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap) != 0;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    // A monochrome icon keeps its image and its mask one above the other.
    const int width = sized ? bitmap.bmWidth : 0;
    const int height = sized ? (info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2) : 0;
    if (width <= 0 || height <= 0) {
        return picture;
    }
    picture.pixels = Paint(width, height, nullptr, [&](HDC memory) {
        // On white, which neither the red nor the blue disc is.
        const RECT all{0, 0, width, height};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL) != FALSE;
    });
    if (!picture.pixels.empty()) {
        picture.width = width;
        picture.height = height;
    }
    return picture;
}

IconKind IconKindOf(HICON icon) {
    const IconPicture picture = PictureOf(icon);
    return picture.pixels.empty() ? IconKind::Unknown : KindOfPixels(picture.pixels);
}

int IconWidth(HWND window, WPARAM which) {
    return PictureOf(reinterpret_cast<HICON>(Ask(window, WM_GETICON, which))).width;
}

std::wstring AccessibleName(HWND window) {
    // IID_IAccessible, spelled out: the symbol of MinGW's liboleacc.a is not
    // the one that Wine's oleacc answers to.
    const IID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring name;
    IAccessible* object = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), accessible,
                                             reinterpret_cast<void**>(&object))) &&
        object != nullptr) {
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        if (object->get_accName(self, &text) == S_OK && text != nullptr) {
            name.assign(text, SysStringLen(text));
        }
        SysFreeString(text);
        object->Release();
    }
    if (SUCCEEDED(initialised)) {
        CoUninitialize();
    }
    return name;
}

bool BringToFront(HWND window) {
    return WaitUntil(
        [&] {
            if (GetForegroundWindow() == window) {
                return true;
            }
            // Windows gives the foreground away only at the request of the
            // process that sent the last input, which is not the test where
            // another program's window holds it (a runner's console does):
            // a mouse move by nothing makes the test that process.
            SendMouseButton(MOUSEEVENTF_MOVE);
            SetForegroundWindow(window);
            return false;
        },
        3000);
}

void TapKey(WORD key) {
    SendKey(key, false);
    SendKey(key, true);
}

void Chord(WORD modifier, WORD key) {
    SendKey(modifier, false);
    SendKey(key, false);
    SendKey(key, true);
    SendKey(modifier, true);
}

void MoveMouse(POINT screen) { SetCursorPos(screen.x, screen.y); }

void Click(POINT screen) {
    MoveMouse(screen);
    SendMouseButton(MOUSEEVENTF_LEFTDOWN);
    SendMouseButton(MOUSEEVENTF_LEFTUP);
}

void DoubleClick(POINT screen) {
    Click(screen);
    Sleep(30);
    Click(screen);
}

POINT CentreOf(const RECT& screenRect) {
    return {(screenRect.left + screenRect.right) / 2, (screenRect.top + screenRect.bottom) / 2};
}

std::vector<DWORD> CaptureScreen(const RECT& rect) {
    const HDC screen = GetDC(nullptr);
    std::vector<DWORD> pixels = Paint(rect.right - rect.left, rect.bottom - rect.top, screen, [&](HDC memory) {
        return BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top,
                      SRCCOPY) != FALSE;
    });
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
    RECT rect{};
    return GetWindowRect(window, &rect) && SaveScreenPicture(rect, path);
}

bool SaveScreenPicture(const RECT& rect, const std::wstring& path) {
    const std::vector<DWORD> pixels = CaptureScreen(rect);
    if (pixels.empty()) {
        return false;
    }
    return WriteWholeFile(path, PngWriter::Encode(rect.right - rect.left, rect.bottom - rect.top, pixels));
}

}  // namespace harness
