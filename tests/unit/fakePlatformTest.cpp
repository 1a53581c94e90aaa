// The tests' own tools: the other tests rely on the fake to notice misuse,
// and on the harness to tell the icons of a message box apart, so they must.
#include "driver.h"
#include "fakePlatform.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

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

// The end-to-end tests read a message box's icon through the handle that it
// holds: the system's own icons, drawn here as in any process, must come out
// as what they are, and the warning's yellow as neither.
TEST(HarnessIconTest, TellsTheSystemsIconsApart) {
    EXPECT_STREQ(harness::IconName(harness::IconKindOf(LoadIconW(nullptr, IDI_ERROR))), "error");
    EXPECT_STREQ(harness::IconName(harness::IconKindOf(LoadIconW(nullptr, IDI_INFORMATION))), "information");
    EXPECT_STREQ(harness::IconName(harness::IconKindOf(LoadIconW(nullptr, IDI_WARNING))), "unknown");
    EXPECT_STREQ(harness::IconName(harness::IconKindOf(nullptr)), "unknown");
    const harness::IconPicture picture = harness::PictureOf(LoadIconW(nullptr, IDI_ERROR));
    EXPECT_EQ(picture.width, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(picture.pixels.size(), static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
}

}  // namespace
