// The owners of system handles: what counts as no handle, giving a handle
// up, passing it on, and closing it through the platform it came from.
#include "fakePlatform.h"
#include "platform.h"
#include "uniqueHandle.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const HANDLE kInvalid = INVALID_HANDLE_VALUE;

TEST(UniqueHandleTest, NoHandleIsNeverClosed) {
    FakePlatform fake;
    const PlatformOverride override(fake);
    {
        const UniqueKernelHandle none;
        const UniqueKernelHandle null(nullptr);
        const UniqueKernelHandle invalid(kInvalid);
        EXPECT_FALSE(none);
        EXPECT_FALSE(null);
        EXPECT_FALSE(invalid);
        const UniqueDesktop noDesktop(nullptr);
        EXPECT_FALSE(noDesktop);
    }
    EXPECT_THAT(fake.Calls(), IsEmpty());
    EXPECT_THAT(fake.Faults(), IsEmpty());
}

TEST(UniqueHandleTest, ClosesOnceWhetherMovedResetOrDestroyed) {
    FakePlatform fake;
    const PlatformOverride override(fake);
    {
        UniqueWinSta first(fake.OpenWindowStationA("A", FALSE, 0x109));
        UniqueWinSta second(std::move(first));
        EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the moved-from owner is empty
        EXPECT_TRUE(second);
        UniqueWinSta third;
        third = std::move(second);
        third.reset(fake.OpenWindowStationA("B", FALSE, 0x109));
    }
    EXPECT_THAT(fake.CallsOf({"CloseWindowStation"}),
                ElementsAre("CloseWindowStation(winsta1)", "CloseWindowStation(winsta2)"));
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_THAT(fake.Faults(), IsEmpty());
}

TEST(UniqueHandleTest, ReleaseGivesTheHandleUpWithoutClosingIt) {
    FakePlatform fake;
    const PlatformOverride override(fake);
    const HDESK desktop = fake.OpenDesktopA("D", 0, FALSE, 0x142);
    {
        UniqueDesktop owner(desktop);
        EXPECT_EQ(owner.release(), desktop);
        EXPECT_FALSE(owner);
    }
    EXPECT_THAT(fake.CallsOf({"CloseDesktop"}), IsEmpty());
    EXPECT_EQ(fake.OpenHandles(), 1);
}

// A handle goes back to where it came from, even when another platform is
// in force by the time its owner goes.
TEST(UniqueHandleTest, ClosesThroughThePlatformItCameFrom) {
    FakePlatform first;
    FakePlatform second;
    UniqueDesktop fromFirst;
    {
        const PlatformOverride overrideFirst(first);
        fromFirst.reset(first.OpenDesktopA("D", 0, FALSE, 0x142));
    }
    {
        const PlatformOverride overrideSecond(second);
        fromFirst.reset();
    }
    EXPECT_THAT(first.CallsOf({"CloseDesktop"}), ElementsAre("CloseDesktop(desktop1)"));
    EXPECT_THAT(second.Calls(), IsEmpty());
    EXPECT_THAT(first.Faults(), IsEmpty());
    EXPECT_THAT(second.Faults(), IsEmpty());
}

TEST(UniqueHandleTest, ProcessInformationClosesTheProcessThenTheThread) {
    FakePlatform fake;
    const PlatformOverride override(fake);
    char commandLine[] = "probe.exe";
    STARTUPINFOA startupInfo{};
    startupInfo.cb = sizeof startupInfo;
    PROCESS_INFORMATION information{};
    ASSERT_TRUE(
        fake.CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, "", &startupInfo, &information));
    fake.ClearCalls();
    { const UniqueProcessInformation owner(information); }
    EXPECT_THAT(fake.Calls(), ElementsAre("CloseHandle(process1)", "CloseHandle(thread2)"));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

}  // namespace
