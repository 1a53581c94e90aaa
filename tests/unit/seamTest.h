#pragma once
// The fixture of every test that runs launcher code against the fake system:
// the fake is in force for the test's lifetime, the run's exit code starts
// afresh, and a test ends with a check that the fake saw no misuse.
#include "fakePlatform.h"
#include "modCommon.h"
#include "platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

class SeamTest : public testing::Test {
protected:
    SeamTest() : override_(fake) { SetExitCode(ExitCode::Done); }

    void TearDown() override { EXPECT_THAT(fake.Faults(), testing::IsEmpty()); }

    // The one message box shown, or a failed test when there was none or more.
    MessageBoxShown OnlyMessageBox() const {
        EXPECT_EQ(fake.MessageBoxes().size(), 1u);
        return fake.MessageBoxes().empty() ? MessageBoxShown{} : fake.MessageBoxes().back();
    }

    // Declared before the override, so that the fake outlives it.
    FakePlatform fake;

private:
    PlatformOverride override_;
};

template <typename Param>
class SeamTestWithParam : public SeamTest, public testing::WithParamInterface<Param> {};
