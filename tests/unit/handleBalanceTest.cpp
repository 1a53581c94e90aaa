// Every handle that the launch or the catalogue obtains is closed again, on
// every path: each combination of failing system calls is run against the
// fake, which counts what is still open and records any wrong close.
#include "fakePlatform.h"
#include "modCommon.h"
#include "modDesktopsList.h"
#include "modProcessFlow.h"
#include "seamTest.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <bitset>
#include <cstddef>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace {

// The calls of the launch that can fail; bit i of a mask makes the i-th fail.
const std::vector<std::string> kLaunchCalls = {"OpenWindowStationA", "CreateWindowStationA", "SetProcessWindowStation",
                                               "OpenDesktopA",       "CreateDesktopA",       "CreateProcessA",
                                               "DuplicateHandle",    "OpenProcessToken",     "GetTokenInformation"};

struct LaunchPath {
    unsigned failing;
    const wchar_t* desktopName;
    // Why the failing calls fail: a refused access, or an object that is not
    // there, which ends the run when it cannot be made either.
    DWORD error;
};

std::vector<LaunchPath> AllLaunchPaths() {
    std::vector<LaunchPath> paths;
    for (const DWORD error : {static_cast<DWORD>(ERROR_ACCESS_DENIED), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)}) {
        for (const wchar_t* name : {L"Work", L"Kiosk\\Main"}) {
            for (unsigned mask = 0; mask < (1u << kLaunchCalls.size()); ++mask) {
                paths.push_back({mask, name, error});
            }
        }
    }
    return paths;
}

class LaunchHandleBalanceTest : public SeamTestWithParam<LaunchPath> {};

TEST_P(LaunchHandleBalanceTest, ClosesWhatItObtainedAndRestoresTheWindowStation) {
    const auto fails = [](size_t call) { return (GetParam().failing & (1u << call)) != 0; };
    for (size_t call = 0; call < kLaunchCalls.size(); ++call) {
        if (fails(call)) {
            fake.Fail(kLaunchCalls[call], GetParam().error);
        }
    }
    // Elevated, so that only the failing calls keep a new station from being made.
    fake.elevated = true;
    RunOnDesktop(L"probe.exe", GetParam().desktopName);

    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    const bool noWinSta = fails(0) && (fails(1) || fails(7) || fails(8));
    const bool noDesktop = !noWinSta && !fails(2) && fails(3) && fails(4);
    const bool notMade = GetParam().error != ERROR_ACCESS_DENIED && (noWinSta || noDesktop);
    EXPECT_EQ(fake.ProcessCreations().size(), notMade ? 0u : 1u)
        << "the launch is tried unless the target is known not to be there";
    const bool created = !notMade && !fails(5);
    EXPECT_EQ(fake.MessageBoxes().size(), created ? 0u : 1u);
    EXPECT_EQ(GetExitCode(), created ? ExitCode::Done : ExitCode::ProcessNotCreated);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, LaunchHandleBalanceTest, testing::ValuesIn(AllLaunchPaths()),
                         [](const testing::TestParamInfo<LaunchPath>& test) {
                             return std::string(test.param.error == ERROR_ACCESS_DENIED ? "Refused" : "Missing") +
                                    (test.param.desktopName[0] == L'W' ? "Bare" : "Full") + "_" +
                                    std::bitset<9>(test.param.failing).to_string();
                         });

class NoRows final : public DesktopsListTarget {
public:
    void AddDesktopsRow(const std::wstring&) override { ++rows; }
    void SetShadowDesktopNames(StringList) override {}
    int rows = 0;
};

// Bit 0 fails the enumeration of the stations; bits 1 to 3 refuse to open
// station A, B or C; bits 4 to 6 fail the enumeration of their desktops.
class CatalogueHandleBalanceTest : public SeamTestWithParam<unsigned> {};

TEST_P(CatalogueHandleBalanceTest, ClosesEveryStationItOpened) {
    const unsigned failing = GetParam();
    const std::vector<std::string> stations = {"A", "B", "C"};
    fake.windowStations = {"A", "B", "C"};
    for (size_t i = 0; i < stations.size(); ++i) {
        fake.desktopsOf[stations[i]] = {"Default", "Other"};
        if ((failing & (1u << (1 + i))) != 0) {
            fake.Fail("OpenWindowStationA", ERROR_ACCESS_DENIED, 0, stations[i]);
        }
        if ((failing & (1u << (4 + i))) != 0) {
            fake.Fail("EnumDesktopsA", ERROR_ACCESS_DENIED, 0, stations[i]);
        }
    }
    if ((failing & 1u) != 0) {
        fake.Fail("EnumWindowStationsA");
    }
    NoRows target;
    FillDesktopsList(target);

    EXPECT_EQ(fake.OpenHandles(), 0);
    const bool enumerated = (failing & 1u) == 0;
    const size_t opened = enumerated ? 3 - std::bitset<3>(failing >> 1).count() : 0;
    EXPECT_EQ(fake.CallsOf({"CloseWindowStation"}).size(), opened);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, CatalogueHandleBalanceTest, testing::Range(0u, 1u << 7));

}  // namespace
