// The fake itself: the other tests rely on it to notice misuse, so it must.
#include "fakePlatform.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

TEST(FakePlatformTest, ReportsEveryWrongClose) {
    FakePlatform fake;
    const HWINSTA station = fake.OpenWindowStationA("A", FALSE, 0x109);
    const HDESK desktop = fake.OpenDesktopA("D", 0, FALSE, 0x142);
    EXPECT_EQ(fake.OpenHandles(), 2);
    EXPECT_TRUE(fake.CloseWindowStation(station));
    EXPECT_FALSE(fake.CloseWindowStation(station));
    EXPECT_FALSE(fake.CloseWindowStation(fake.OwnWinSta()));
    EXPECT_FALSE(fake.CloseHandle(desktop));
    EXPECT_THAT(fake.Faults(), ElementsAre(HasSubstr("closed handle winsta1"), HasSubstr("own window station"),
                                           HasSubstr("another kind")));
    EXPECT_EQ(fake.OpenHandles(), 1);
}

TEST(FakePlatformTest, ReportsClosingTheCurrentWinSta) {
    FakePlatform fake;
    const HWINSTA station = fake.OpenWindowStationA("A", FALSE, 0x109);
    ASSERT_TRUE(fake.SetProcessWindowStation(station));
    fake.CloseWindowStation(station);
    EXPECT_THAT(fake.Faults(), ElementsAre(HasSubstr("while it is the process's window station")));
}

TEST(FakePlatformTest, FailsTheChosenOccurrenceWithItsLastError) {
    FakePlatform fake;
    fake.Fail("OpenDesktopA", ERROR_NOT_ENOUGH_MEMORY, 2);
    EXPECT_NE(fake.OpenDesktopA("D", 0, FALSE, 0x142), nullptr);
    EXPECT_EQ(fake.GetLastError(), 0u);
    EXPECT_EQ(fake.OpenDesktopA("D", 0, FALSE, 0x142), nullptr);
    EXPECT_EQ(fake.GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(fake.OpenDesktopA("D", 0, FALSE, 0x142), nullptr);
}

}  // namespace
