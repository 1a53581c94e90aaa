// The executables are linked with -municode, so the entry point is wmain.
#include "driver.h"
#include "text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A run that must test (the release's jobs on Windows set
// LAUNCHER_E2E_NO_SKIP=1) fails on every skip: a skip counts as passed, and a
// run that tested little would look green.
bool SkipsForbidden() { return GetEnvironmentVariableW(L"LAUNCHER_E2E_NO_SKIP", nullptr, 0) != 0; }

// Notes each skipped test with the reason that it gave, from whatever code
// skipped it.
class SkipRecorder : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override { reason_.clear(); }
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.skipped() && result.message() != nullptr) {
            reason_ += result.message();
        }
    }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (test.result() != nullptr && test.result()->Skipped()) {
            skipped_.push_back(std::string(test.test_suite_name()) + "." + test.name() + ": " + reason_);
        }
    }
    const std::vector<std::string>& skipped() const { return skipped_; }

private:
    std::string reason_;
    std::vector<std::string> skipped_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Without the launcher every test would fail on its own, each for a reason
    // that hides this one.
    const std::wstring launcher = harness::LauncherPath();
    if (GetFileAttributesW(launcher.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("e2e: there is no launcher at %s (LAUNCHER_E2E_LAUNCHER names the one to test)\n",
                    harness::Narrow(launcher).c_str());
        return 1;
    }
    auto* recorder = new SkipRecorder;
    ::testing::UnitTest::GetInstance()->listeners().Append(recorder);
    const int result = RUN_ALL_TESTS();
    if (!SkipsForbidden() || recorder->skipped().empty()) {
        return result;
    }
    for (const std::string& skip : recorder->skipped()) {
        std::printf("[  FAILED  ] %s (skipped, and LAUNCHER_E2E_NO_SKIP forbids a skip)\n", skip.c_str());
    }
    return 1;
}
