#include "modWinStaAndDesktops.h"

#include "ansiText.h"
#include "modCommon.h"
#include "platform.h"
#include "uniqueHandle.h"
#include "zentarisupport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace {

// Requests of a name once its size is known: the first, and two with a
// buffer grown each time.
constexpr int kNameRequests = 3;

// Read right after a failed open: whether the object is known not to be
// there. A refused access means that it is, out of this process's reach.
bool OpenFoundNothing() { return platform().GetLastError() != ERROR_ACCESS_DENIED; }

// Read right after a failed creation, and only when the open found nothing:
// the one case in which no program can run on the object.
std::optional<DWORD> CreationError(bool missing) {
    if (!missing) {
        return std::nullopt;
    }
    return platform().GetLastError();
}

// The security of a window station that this run creates. Windows gives one
// created without a descriptor a DACL that grants every user full control of
// it and of every desktop in it: its clipboard, its input and its screen. A
// new station gets the DACL of the launcher's own token instead, as every
// object created with default security does (the user, or Administrators when
// elevated, and SYSTEM); programs started from here run with that token and
// still get in. The desktops created in it inherit the station's DACL.
class OwnDefaultSecurity {
public:
    OwnDefaultSecurity() = default;
    OwnDefaultSecurity(const OwnDefaultSecurity&) = delete;
    OwnDefaultSecurity& operator=(const OwnDefaultSecurity&) = delete;

    // ERROR_SUCCESS, or why the token's default DACL cannot be had. A token
    // without one would mean the same access for all as no descriptor, so it
    // counts as a failure too: no station is then created open to everyone.
    DWORD Read() {
        HANDLE token = nullptr;
        if (!platform().OpenProcessToken(platform().GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return platform().GetLastError();
        }
        const UniqueKernelHandle owned(token);
        DWORD needed = 0;
        platform().GetTokenInformation(owned.get(), TokenDefaultDacl, nullptr, 0, &needed);
        if (needed < sizeof(TOKEN_DEFAULT_DACL)) {
            return needed == 0 ? platform().GetLastError() : ERROR_INVALID_ACL;
        }
        // The ACL lies inside the buffer, after the structure that points
        // to it, so it outlives the token handle.
        information_.assign(needed, 0);
        if (!platform().GetTokenInformation(owned.get(), TokenDefaultDacl, information_.data(), needed, &needed)) {
            return platform().GetLastError();
        }
        const auto& defaultDacl = *reinterpret_cast<const TOKEN_DEFAULT_DACL*>(information_.data());
        if (defaultDacl.DefaultDacl == nullptr ||
            !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor_, TRUE, defaultDacl.DefaultDacl, FALSE)) {
            return ERROR_INVALID_ACL;
        }
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
        return ERROR_SUCCESS;
    }

    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

private:
    std::vector<BYTE> information_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

std::wstring GetUserObjectName(HANDLE object) {
    // The first request only learns the size; every later buffer is one byte
    // longer than the system is told, so the name always ends in a NUL.
    DWORD needed = 0;
    std::vector<char> buffer(1, '\0');
    platform().GetUserObjectInformationA(object, UOI_NAME, buffer.data(), 1, &needed);
    if (static_cast<LONG>(needed) <= 0) {
        return {};
    }
    // The size that comes back is that of the name in UTF-16, while the name
    // arrives in the ANSI code page, UTF-8, where most CJK characters take
    // three bytes instead of two. A refused request is repeated with twice the
    // buffer, twice at most: four times the size counted in UTF-16 bytes, or
    // even in UTF-16 units, holds any name.
    DWORD length = needed;
    for (int request = 1;; ++request) {
        buffer.assign(static_cast<size_t>(length) + 1, '\0');
        if (platform().GetUserObjectInformationA(object, UOI_NAME, buffer.data(), length, &needed)) {
            break;
        }
        if (request == kNameRequests || length > MAXDWORD / 4) {
            return {};
        }
        length *= 2;
    }
    std::wstring name;
    CheckStatus(zsGetStringFromPointerA(buffer.data(), name), L"zsGetStringFromPointerA");
    return name;
}

std::wstring GetCurrentWinStaName() {
    // The process's own window station: never closed.
    const HWINSTA own = platform().GetProcessWindowStation();
    if (own == nullptr) {
        return {};
    }
    return GetUserObjectName(own);
}

std::optional<DWORD> OpenOrCreateWinStaAndDesktop(const std::wstring& fullDesktopName, UniqueWinSta& winSta,
                                                  UniqueDesktop& desktop) {
    std::wstring winStaName;
    std::wstring desktopName = fullDesktopName;
    if (const size_t backslash = fullDesktopName.find(L'\\'); backslash != std::wstring::npos) {
        winStaName = fullDesktopName.substr(0, backslash);
        desktopName = fullDesktopName.substr(backslash + 1);
    }
    if (winStaName.empty()) {
        winStaName = GetCurrentWinStaName();
    }
    if (desktopName.empty()) {
        return std::nullopt;
    }
    winSta.reset();
    desktop.reset();
    // A name that the ANSI code page cannot carry whole would reach the
    // system as another name: nothing is opened or created under it.
    const std::optional<std::string> ansiWinSta = ToAnsi(winStaName);
    const std::optional<std::string> ansiDesktop = ToAnsi(desktopName);
    if (!ansiWinSta || !ansiDesktop) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }

    const HWINSTA saved = platform().GetProcessWindowStation();
    winSta.reset(platform().OpenWindowStationA(ansiWinSta->c_str(), FALSE, kWinStaAccess));
    if (!winSta) {
        const bool missing = OpenFoundNothing();
        OwnDefaultSecurity security;
        if (const DWORD unreadable = security.Read(); unreadable != ERROR_SUCCESS) {
            return missing ? std::optional<DWORD>(unreadable) : std::nullopt;
        }
        winSta.reset(platform().CreateWindowStationA(ansiWinSta->c_str(), 0, kWinStaAccess, security.attributes()));
        if (!winSta) {
            return CreationError(missing);
        }
    }
    if (!platform().SetProcessWindowStation(winSta.get())) {
        winSta.reset();
        return std::nullopt;
    }

    // OpenDesktopA and CreateDesktopA work in the process's window station,
    // which is the target one until the switch back below.
    std::optional<DWORD> failure;
    desktop.reset(platform().OpenDesktopA(ansiDesktop->c_str(), 0, FALSE, kDesktopAccess));
    if (!desktop) {
        const bool missing = OpenFoundNothing();
        desktop.reset(platform().CreateDesktopA(ansiDesktop->c_str(), nullptr, nullptr, 0, kDesktopAccess, nullptr));
        if (!desktop) {
            failure = CreationError(missing);
        }
    }
    platform().SetProcessWindowStation(saved);
    if (!desktop) {
        winSta.reset();
    }
    return failure;
}
