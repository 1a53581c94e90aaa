#include "fakePlatform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <utility>

namespace {

// Handle values far from 0 and -1, which mean "none" to the code under test.
constexpr std::uintptr_t kOwnWinStaValue = 0xF00;
constexpr std::uintptr_t kFirstHandleValue = 0x1000;
// Handles in the table of a started process: never valid in the launcher.
constexpr std::uintptr_t kFirstForeignHandleValue = 0x80000;
const HANDLE kSelf = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
constexpr DWORD kStatusDllInitFailed = 0xC0000142;

std::string Text(const char* text) { return text == nullptr ? "NULL" : text; }

std::string Pointer(const void* pointer) { return pointer == nullptr ? "NULL" : "non-NULL"; }

bool Among(std::string_view call, std::initializer_list<std::string_view> functions) {
    return std::find(functions.begin(), functions.end(), call.substr(0, call.find('('))) != functions.end();
}

// An ACL as a token's default DACL holds it: full access for SYSTEM and for
// one user.
std::vector<BYTE> DefaultDacl() {
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof system;
    CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID user = nullptr;
    AllocateAndInitializeSid(&nt, 5, SECURITY_NT_NON_UNIQUE, 1004336348, 1177238915, 682003330, 1001, 0, 0, 0, &user);
    const DWORD size =
        static_cast<DWORD>(sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE)) + GetLengthSid(system) + GetLengthSid(user);
    std::vector<BYTE> acl(size);
    const auto list = reinterpret_cast<ACL*>(acl.data());
    InitializeAcl(list, size, ACL_REVISION);
    AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, system);
    AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, user);
    FreeSid(user);
    acl.resize(list->AclSize);
    return acl;
}

StationSecurity SecurityOf(const char* name, const SECURITY_ATTRIBUTES* attributes) {
    StationSecurity security{Text(name), attributes == nullptr, 0, FALSE, std::nullopt};
    if (attributes == nullptr) {
        return security;
    }
    security.length = attributes->nLength;
    security.inherit = attributes->bInheritHandle;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ACL* dacl = nullptr;
    if (attributes->lpSecurityDescriptor != nullptr &&
        GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted) && present &&
        dacl != nullptr) {
        const auto bytes = reinterpret_cast<const BYTE*>(dacl);
        security.dacl.emplace(bytes, bytes + dacl->AclSize);
    }
    return security;
}

}  // namespace

std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    return buffer;
}

FakePlatform::FakePlatform()
    : tokenDefaultDacl(DefaultDacl()),
      own_(reinterpret_cast<HWINSTA>(kOwnWinStaValue)),
      current_(reinterpret_cast<HWINSTA>(kOwnWinStaValue)) {}

void FakePlatform::Fail(std::string function, DWORD lastError, int occurrence, std::optional<std::string> subject) {
    rules_.push_back({std::move(function), lastError, occurrence, std::move(subject)});
}

std::vector<std::string> FakePlatform::CallsOf(std::initializer_list<std::string_view> functions, bool among) const {
    std::vector<std::string> result;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(result),
                 [&](const std::string& call) { return Among(call, functions) == among; });
    return result;
}

std::string FakePlatform::Label(HANDLE handle) const {
    if (handle == own_) {
        return "own";
    }
    if (handle == kSelf) {
        return "self";
    }
    if (const auto found = open_.find(handle); found != open_.end()) {
        return found->second.label;
    }
    if (const auto found = closed_.find(handle); found != closed_.end()) {
        return found->second;
    }
    return Hex(reinterpret_cast<std::uintptr_t>(handle));
}

std::string FakePlatform::StationOfDesktop(HDESK desktop) const {
    const auto found = open_.find(desktop);
    return found == open_.end() ? std::string("?") : found->second.station;
}

bool FakePlatform::Call(const char* function, std::initializer_list<std::string> arguments,
                        const std::string& subject) {
    std::string call = std::string(function) + "(";
    for (const std::string& argument : arguments) {
        call += (&argument == arguments.begin() ? "" : ", ") + argument;
    }
    calls_.push_back(call + ")");

    const int count = ++callCounts_[function];
    for (const FailRule& rule : rules_) {
        if (rule.function == function && (rule.occurrence == 0 || rule.occurrence == count) &&
            (!rule.subject || *rule.subject == subject)) {
            lastError_ = rule.lastError;
            return true;
        }
    }
    // Cleared on success, so that a last error read too late is caught.
    lastError_ = ERROR_SUCCESS;
    return false;
}

HANDLE FakePlatform::Issue(Kind kind, const char* prefix, std::string name, int object) {
    const std::uintptr_t number = nextNumber_++;
    const HANDLE handle = reinterpret_cast<HANDLE>(kFirstHandleValue + 4 * number);
    open_[handle] = Entry{kind, prefix + std::to_string(number), std::move(name), NameOf(current_), object};
    if (object >= 0) {
        ++objects_[static_cast<size_t>(object)].handles;
    }
    return handle;
}

int FakePlatform::FindAlive(Kind kind, int in, const std::string& name) const {
    for (size_t i = 0; i < objects_.size(); ++i) {
        const Object& object = objects_[i];
        if (object.alive() && object.kind == kind && object.in == in && object.name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FakePlatform::Find(Kind kind, int in, const std::string& name) {
    const int found = FindAlive(kind, in, name);
    if (found >= 0) {
        return found;
    }
    const bool own = kind == Kind::WinSta && name == ownWinStaName;
    return own || everyNameExists ? Make(kind, in, name, true) : -1;
}

int FakePlatform::Make(Kind kind, int in, const std::string& name, bool heldForGood) {
    objects_.push_back(Object{kind, in, name, 0, heldForGood, false});
    return static_cast<int>(objects_.size()) - 1;
}

void FakePlatform::Release(int object) {
    if (object >= 0) {
        --objects_[static_cast<size_t>(object)].handles;
    }
}

int FakePlatform::CurrentStation() {
    if (current_ == own_) {
        return Find(Kind::WinSta, -1, ownWinStaName);
    }
    const auto found = open_.find(current_);
    return found == open_.end() ? -1 : found->second.object;
}

std::optional<DWORD> FakePlatform::RefusedName(Kind kind, const std::string& name) const {
    if (everyNameExists) {
        return std::nullopt;
    }
    if (kind == Kind::Desktop && name.find('\\') != std::string::npos) {
        return ERROR_BAD_PATHNAME;
    }
    if (harness::Widen(name).size() > longestName) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    return std::nullopt;
}

HANDLE FakePlatform::OpenObject(Kind kind, const std::string& name, bool create) {
    if (const std::optional<DWORD> refused = RefusedName(kind, name)) {
        lastError_ = *refused;
        return nullptr;
    }
    const int in = kind == Kind::Desktop ? CurrentStation() : -1;
    int object = kind == Kind::Desktop && in < 0 ? -1 : Find(kind, in, name);
    if (object >= 0 && objects_[static_cast<size_t>(object)].refusesUs) {
        lastError_ = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (object < 0 && create && (kind == Kind::WinSta || in >= 0)) {
        if (kind == Kind::Desktop && desktopHeapRoom) {
            if (*desktopHeapRoom == 0) {
                lastError_ = ERROR_NOT_ENOUGH_MEMORY;
                return nullptr;
            }
            --*desktopHeapRoom;
        }
        object = Make(kind, in, name, false);
    }
    if (object < 0) {
        lastError_ = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return Issue(kind, kind == Kind::WinSta ? "winsta" : "desktop", name, object);
}

void FakePlatform::Exists(const std::string& station, const std::string& desktop) {
    int in = FindAlive(Kind::WinSta, -1, station);
    if (in < 0) {
        in = Make(Kind::WinSta, -1, station, true);
    }
    if (!desktop.empty() && FindAlive(Kind::Desktop, in, desktop) < 0) {
        Make(Kind::Desktop, in, desktop, true);
    }
}

void FakePlatform::Protect(const std::string& station, const std::string& desktop) {
    Exists(station, desktop);
    const int in = FindAlive(Kind::WinSta, -1, station);
    const int object = desktop.empty() ? in : FindAlive(Kind::Desktop, in, desktop);
    objects_[static_cast<size_t>(object)].refusesUs = true;
}

bool FakePlatform::IsAlive(const std::string& station, const std::string& desktop) const {
    const int in = FindAlive(Kind::WinSta, -1, station);
    return in >= 0 && (desktop.empty() || FindAlive(Kind::Desktop, in, desktop) >= 0);
}

void FakePlatform::ConnectStartedProcesses() {
    for (StartedProcess& process : started_) {
        if (process.state != "starting") {
            continue;
        }
        // The name was given in full: the system opens both objects by it,
        // and creates neither.
        const size_t backslash = process.desktop.find('\\');
        const int station =
            backslash == std::string::npos ? -1 : FindAlive(Kind::WinSta, -1, process.desktop.substr(0, backslash));
        const int desktop = station < 0 ? -1 : FindAlive(Kind::Desktop, station, process.desktop.substr(backslash + 1));
        if (desktop < 0) {
            for (const int object : std::exchange(process.held, {})) {
                Release(object);
            }
            process.state = "ended " + Hex(kStatusDllInitFailed);
            continue;
        }
        for (const int object : {station, desktop}) {
            ++objects_[static_cast<size_t>(object)].handles;
            process.held.push_back(object);
        }
        process.state = "running on " + process.desktop;
    }
}

void FakePlatform::EndStartedProcesses() {
    for (StartedProcess& process : started_) {
        for (const int object : std::exchange(process.held, {})) {
            Release(object);
        }
        if (process.state == "starting" || process.state.starts_with("running")) {
            process.state = "ended";
        }
    }
}

std::vector<std::string> FakePlatform::StartedProcesses() const {
    std::vector<std::string> states;
    for (const StartedProcess& process : started_) {
        states.push_back(process.state);
    }
    return states;
}

bool FakePlatform::Expect(HANDLE handle, Kind kind, const char* function) {
    const auto found = open_.find(handle);
    if (found == open_.end()) {
        faults_.push_back(std::string(function) + " given " +
                          (closed_.count(handle) != 0 ? "the closed handle " : "the unknown handle ") + Label(handle));
        return false;
    }
    if (found->second.kind != kind) {
        faults_.push_back(std::string(function) + " given " + found->second.label + ", a handle of another kind");
        return false;
    }
    return true;
}

BOOL FakePlatform::Close(HANDLE handle, Kind kind, const char* function) {
    if (handle == own_) {
        faults_.push_back(std::string(function) + " closed the process's own window station");
        return FALSE;
    }
    if (kind == Kind::WinSta && handle == current_) {
        faults_.push_back(std::string(function) + " closed " + Label(handle) +
                          " while it is the process's window station");
    }
    if (!Expect(handle, kind, function)) {
        return FALSE;
    }
    closed_[handle] = open_[handle].label;
    Release(open_[handle].object);
    open_.erase(handle);
    return TRUE;
}

std::string FakePlatform::NameOf(HANDLE station) const {
    if (station == own_) {
        return ownWinStaName;
    }
    const auto found = open_.find(station);
    return found == open_.end() ? std::string() : found->second.name;
}

std::wstring FakePlatform::CommandLine() {
    Call("CommandLine", {});
    return commandLine;
}

std::wstring FakePlatform::ModuleFileName() {
    Call("ModuleFileName", {});
    return moduleFileName;
}

void FakePlatform::InitCommonControls() { Call("InitCommonControls", {}); }

int FakePlatform::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) {
    Call("ShowMessageBox", {Hex(style)});
    messageBoxes_.push_back({text, caption, style});
    return IDOK;
}

void FakePlatform::ExitProcess(UINT exitCode) {
    Call("ExitProcess", {std::to_string(exitCode)});
    throw ExitProcessCalled{exitCode};
}

HWINSTA FakePlatform::GetProcessWindowStation() { return Call("GetProcessWindowStation", {}) ? nullptr : current_; }

BOOL FakePlatform::GetUserObjectInformationA(HANDLE object, int index, void* info, DWORD length, DWORD* needed) {
    const std::string name = NameOf(object);
    if (Call("GetUserObjectInformationA", {Label(object), std::to_string(index), std::to_string(length)}, name)) {
        // What a failed request leaves in the buffer is undefined.
        if (info != nullptr) {
            std::memset(info, 'X', length);
        }
        return FALSE;
    }
    const auto found = open_.find(object);
    const bool windowObject = object == own_ || (found != open_.end() && found->second.kind != Kind::Kernel);
    if (!windowObject || index != UOI_NAME || needed == nullptr) {
        faults_.push_back("GetUserObjectInformationA used for something other than the name of a live object");
        lastError_ = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const DWORD size = static_cast<DWORD>(name.size()) + (namesWithoutNul ? 0 : 1);
    *needed = size;
    if (info == nullptr || length < size) {
        // Windows then counts what the name needs in UTF-16, NUL included,
        // which is less than its UTF-8 form needs when that takes three bytes
        // for a character.
        if (!namesWithoutNul) {
            *needed = static_cast<DWORD>(
                2 * (MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0) + 1));
        }
        lastError_ = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::memcpy(info, name.data(), name.size());
    if (!namesWithoutNul) {
        static_cast<char*>(info)[name.size()] = '\0';
    } else if (name.size() == length && static_cast<const char*>(info)[length] != '\0') {
        // Only a zero byte right after the buffer that the caller admitted
        // to ends a name that fills it.
        faults_.push_back("GetUserObjectInformationA: no NUL after a name that fills the buffer");
    }
    return TRUE;
}

HWINSTA FakePlatform::OpenWindowStationA(const char* name, BOOL inherit, ACCESS_MASK access) {
    if (Call("OpenWindowStationA", {Text(name), std::to_string(inherit), Hex(access)}, Text(name))) {
        return nullptr;
    }
    return static_cast<HWINSTA>(OpenObject(Kind::WinSta, Text(name), false));
}

HWINSTA FakePlatform::CreateWindowStationA(const char* name, DWORD flags, ACCESS_MASK access,
                                           SECURITY_ATTRIBUTES* attributes) {
    stationCreations_.push_back(SecurityOf(name, attributes));
    if (Call("CreateWindowStationA", {Text(name), Hex(flags), Hex(access), Pointer(attributes)}, Text(name))) {
        return nullptr;
    }
    // "Only members of the Administrators group are allowed to specify a
    // name", and a process that asks for no elevation runs without them.
    if (!elevated && name != nullptr && *name != '\0' && !RefusedName(Kind::WinSta, name)) {
        lastError_ = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    // An existing window station is opened instead, as on Windows.
    return static_cast<HWINSTA>(OpenObject(Kind::WinSta, Text(name), true));
}

BOOL FakePlatform::SetProcessWindowStation(HWINSTA station) {
    if (Call("SetProcessWindowStation", {Label(station)}, NameOf(station)) ||
        (station != own_ && !Expect(station, Kind::WinSta, "SetProcessWindowStation"))) {
        return FALSE;
    }
    current_ = station;
    return TRUE;
}

HDESK FakePlatform::OpenDesktopA(const char* name, DWORD flags, BOOL inherit, ACCESS_MASK access) {
    if (Call("OpenDesktopA", {Text(name), Hex(flags), std::to_string(inherit), Hex(access)}, Text(name))) {
        return nullptr;
    }
    return static_cast<HDESK>(OpenObject(Kind::Desktop, Text(name), false));
}

HDESK FakePlatform::CreateDesktopA(const char* name, const char* device, DEVMODEA* mode, DWORD flags,
                                   ACCESS_MASK access, SECURITY_ATTRIBUTES* attributes) {
    if (Call("CreateDesktopA", {Text(name), Text(device), Pointer(mode), Hex(flags), Hex(access), Pointer(attributes)},
             Text(name))) {
        return nullptr;
    }
    return static_cast<HDESK>(OpenObject(Kind::Desktop, Text(name), true));
}

BOOL FakePlatform::CloseWindowStation(HWINSTA station) {
    Call("CloseWindowStation", {Label(station)});
    return Close(station, Kind::WinSta, "CloseWindowStation");
}

BOOL FakePlatform::CloseDesktop(HDESK desktop) {
    Call("CloseDesktop", {Label(desktop)});
    return Close(desktop, Kind::Desktop, "CloseDesktop");
}

BOOL FakePlatform::Enumerate(const std::vector<EnumeratedName>& names, NAMEENUMPROCA callback, LPARAM parameter,
                             bool failing) {
    for (const EnumeratedName& name : names) {
        // A buffer of its own, spoilt after the call, so that a caller who
        // keeps the address instead of copying the text is caught.
        std::vector<char> buffer;
        if (name) {
            buffer.assign(name->begin(), name->end());
            buffer.push_back('\0');
        }
        if (!callback(name ? buffer.data() : nullptr, parameter)) {
            return FALSE;
        }
        std::fill(buffer.begin(), buffer.end(), '#');
    }
    return failing ? FALSE : TRUE;
}

BOOL FakePlatform::EnumWindowStationsA(WINSTAENUMPROCA callback, LPARAM parameter) {
    const bool failing = Call("EnumWindowStationsA", {std::to_string(parameter)});
    return Enumerate(windowStations, callback, parameter, failing);
}

BOOL FakePlatform::EnumDesktopsA(HWINSTA station, DESKTOPENUMPROCA callback, LPARAM parameter) {
    const std::string name = NameOf(station);
    const bool failing = Call("EnumDesktopsA", {Label(station), std::to_string(parameter)}, name);
    if (station != own_ && !Expect(station, Kind::WinSta, "EnumDesktopsA")) {
        return FALSE;
    }
    const auto found = desktopsOf.find(name);
    return Enumerate(found == desktopsOf.end() ? std::vector<EnumeratedName>{} : found->second, callback, parameter,
                     failing);
}

BOOL FakePlatform::CreateProcessA(const char* applicationName, char* childCommandLine,
                                  SECURITY_ATTRIBUTES* processAttributes, SECURITY_ATTRIBUTES* threadAttributes,
                                  BOOL inheritHandles, DWORD creationFlags, void* environment,
                                  const char* currentDirectory, STARTUPINFOA* startupInfo,
                                  PROCESS_INFORMATION* processInformation) {
    const auto optionalText = [](const char* text) {
        return text == nullptr ? std::nullopt : std::optional<std::string>(text);
    };
    const std::optional<std::string> desktop = optionalText(startupInfo ? startupInfo->lpDesktop : nullptr);
    processCreations_.push_back({applicationName == nullptr, Text(childCommandLine), processAttributes == nullptr,
                                 threadAttributes == nullptr, inheritHandles, creationFlags, environment == nullptr,
                                 optionalText(currentDirectory), startupInfo ? *startupInfo : STARTUPINFOA{}, desktop});
    if (Call("CreateProcessA",
             {Text(applicationName), Text(childCommandLine), Pointer(processAttributes), Pointer(threadAttributes),
              std::to_string(inheritHandles), Hex(creationFlags), Pointer(environment), Text(currentDirectory),
              desktop.value_or("NULL")},
             Text(childCommandLine))) {
        return FALSE;
    }
    if (processHandles) {
        processInformation->hProcess = processHandles->first;
        processInformation->hThread = processHandles->second;
    } else {
        processInformation->hProcess = Issue(Kind::Kernel, "process", {});
        processInformation->hThread = Issue(Kind::Kernel, "thread", {});
    }
    started_.push_back({processInformation->hProcess, desktop.value_or(""), {}, "starting"});
    return TRUE;
}

DWORD FakePlatform::GetLastError() {
    const DWORD lastError = lastError_;
    Call("GetLastError", {});
    lastError_ = lastError;
    return lastError;
}

BOOL FakePlatform::CloseHandle(HANDLE handle) {
    Call("CloseHandle", {Label(handle)});
    return Close(handle, Kind::Kernel, "CloseHandle");
}

HANDLE FakePlatform::GetCurrentProcess() {
    Call("GetCurrentProcess", {});
    return kSelf;
}

BOOL FakePlatform::DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                                   DWORD access, BOOL inherit, DWORD options) {
    if (Call("DuplicateHandle", {Label(sourceProcess), Label(source), Label(targetProcess), Hex(access),
                                 std::to_string(inherit), Hex(options)})) {
        return FALSE;
    }
    const auto entry = open_.find(source);
    const auto process = std::find_if(started_.begin(), started_.end(),
                                      [&](const StartedProcess& started) { return started.handle == targetProcess; });
    if (sourceProcess != kSelf || entry == open_.end() || entry->second.object < 0 || target == nullptr ||
        process == started_.end() || open_.count(targetProcess) == 0) {
        faults_.push_back(
            "DuplicateHandle given something other than a live window object of this process and a "
            "live handle of a started process");
        lastError_ = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if ((options & DUPLICATE_CLOSE_SOURCE) != 0) {
        faults_.push_back("DuplicateHandle closed the source handle");
    }
    ++objects_[static_cast<size_t>(entry->second.object)].handles;
    process->held.push_back(entry->second.object);
    *target = reinterpret_cast<HANDLE>(kFirstForeignHandleValue + 4 * nextNumber_++);
    return TRUE;
}

BOOL FakePlatform::SetDefaultDllDirectories(DWORD directories) {
    return Call("SetDefaultDllDirectories", {Hex(directories)}) ? FALSE : TRUE;
}

BOOL FakePlatform::OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
    if (Call("OpenProcessToken", {Label(process), Hex(access)})) {
        return FALSE;
    }
    if (process != kSelf || token == nullptr) {
        faults_.push_back("OpenProcessToken given something other than this process and a place for the token");
        lastError_ = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    *token = Issue(Kind::Kernel, "token", {});
    return TRUE;
}

BOOL FakePlatform::GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                                       DWORD* needed) {
    if (Call("GetTokenInformation", {Label(token), std::to_string(infoClass), std::to_string(length)}) ||
        !Expect(token, Kind::Kernel, "GetTokenInformation")) {
        return FALSE;
    }
    if (infoClass != TokenDefaultDacl || needed == nullptr) {
        lastError_ = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const size_t acl = tokenDefaultDacl ? tokenDefaultDacl->size() : 0;
    *needed = static_cast<DWORD>(sizeof(TOKEN_DEFAULT_DACL) + acl);
    if (info == nullptr || length < *needed) {
        lastError_ = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    const auto bytes = static_cast<BYTE*>(info);
    TOKEN_DEFAULT_DACL head{};
    if (tokenDefaultDacl) {
        std::memcpy(bytes + sizeof head, tokenDefaultDacl->data(), acl);
        head.DefaultDacl = reinterpret_cast<ACL*>(bytes + sizeof head);
    }
    std::memcpy(bytes, &head, sizeof head);
    return TRUE;
}

UINT FakePlatform::GetACP() { return codePage; }

int FakePlatform::WideCharToMultiByte(UINT codePageAskedFor, DWORD flags, const wchar_t* text, int length, char* bytes,
                                      int size, const char* defaultChar, BOOL* usedDefaultChar) {
    ansiConversions_.push_back({codePageAskedFor, flags, usedDefaultChar != nullptr});
    const UINT used = codePageAskedFor == CP_ACP ? codePage : codePageAskedFor;
    return ::WideCharToMultiByte(used, flags, text, length, bytes, size, defaultChar, usedDefaultChar);
}

HWND FakePlatform::CreateDialogIndirectParamW(HINSTANCE, const DLGTEMPLATE*, HWND owner, DLGPROC, LPARAM) {
    Call("CreateDialogIndirectParamW", {Pointer(owner)});
    return nullptr;
}
