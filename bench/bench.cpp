// The driver of the start-up benchmarks (see docs/PERFORMANCE.md), run under
// Wine by bench/run. It starts each program with a raw argument text through
// the end-to-end driver, takes the time from just before the start until the
// probe's first instruction (launch) or until the dialog is visible (chooser),
// and prints medians and spread. Programs are taken in turns (A, B, C, then
// B, C, A, ...) so that a slow stretch of the machine touches all of them
// alike.
//
//   bench.exe [--runs N] [--warmup N] [--chooser-runs N] [--sizes 10,100,1000]
//             [--versus OTHER\Launcher.exe]
//
// --versus adds another build of the launcher to every round, for measuring a
// change side by side with what it changes. --runs 0 or --chooser-runs 0
// leaves that benchmark out.
//
// Exits with 1 only when a benchmark is broken (a probe that never ran, a
// dialog that never came, a wrong exit code); slow figures are reported, not
// judged.
#include "benchShared.h"
#include "driver.h"
#include "text.h"
#include "zentarisupport.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace harness;

namespace {

constexpr DWORD kTimeoutMs = 15000;
double ticksPerMs = 0;

double Ms(LONGLONG ticks) { return static_cast<double>(ticks) / ticksPerMs; }

struct Stats {
    double median = 0, p25 = 0, p75 = 0, min = 0, max = 0;
};

double Quantile(const std::vector<double>& sorted, double q) {
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<size_t>(at);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
}

// The first program's time over the other's, round by round: both were
// measured in the same rounds, in the same order.
std::vector<double> RoundRatios(const std::vector<double>& first, const std::vector<double>& other) {
    std::vector<double> ratios;
    for (size_t round = 0; round < first.size() && round < other.size(); ++round) {
        ratios.push_back(first[round] / other[round]);
    }
    return ratios;
}

Stats Summarise(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return {Quantile(values, 0.5), Quantile(values, 0.25), Quantile(values, 0.75), values.front(), values.back()};
}

void PrintRow(const char* label, const Stats& s, size_t n) {
    std::printf("  %-34s %8.2f %8.2f %8.2f %8.2f %8.2f %5zu\n", label, s.median, s.min, s.p25, s.p75, s.max, n);
}

void PrintHeader(const char* unit) {
    std::printf("  %-34s %8s %8s %8s %8s %8s %5s\n", unit, "median", "min", "p25", "p75", "max", "n");
}

[[noreturn]] void Broken(const std::string& what) {
    std::printf("BROKEN: %s\n", what.c_str());
    std::fflush(stdout);
    ExitProcess(1);
}

// The mapping and the two events through which the helpers report; the name
// reaches them through the environment, which the launcher passes on.
class Channel {
public:
    Channel() {
        const std::wstring name = UniqueName(L"LauncherBench");
        mapping_ =
            CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(BenchShared), name.c_str());
        shared_ = static_cast<BenchShared*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(BenchShared)));
        probe_ = CreateEventW(nullptr, FALSE, FALSE, (name + L"-probe").c_str());
        floor_ = CreateEventW(nullptr, FALSE, FALSE, (name + L"-floor").c_str());
        if (shared_ == nullptr || probe_ == nullptr || floor_ == nullptr) {
            Broken("cannot create the report channel");
        }
        SetEnvironmentVariableW(L"BENCH_SHARED", name.c_str());
    }
    BenchShared& shared() { return *shared_; }
    void Reset() {
        *shared_ = BenchShared{};
        ResetEvent(probe_);
        ResetEvent(floor_);
    }
    bool WaitProbe() { return WaitForSingleObject(probe_, kTimeoutMs) == WAIT_OBJECT_0; }
    bool WaitFloor() { return WaitForSingleObject(floor_, kTimeoutMs) == WAIT_OBJECT_0; }

private:
    HANDLE mapping_ = nullptr;
    BenchShared* shared_ = nullptr;
    HANDLE probe_ = nullptr;
    HANDLE floor_ = nullptr;
};

std::wstring BenchProbe() { return ExeDirectory() + L"benchProbe.exe"; }

// One start of a launcher or floor with "Work" and the probe; the time from
// just before the start to the probe's entry. marks gets the floor's own
// marks (floorSteps only).
double LaunchOnce(Channel& channel, const std::wstring& exe, LONGLONG* marks) {
    channel.Reset();
    const LONGLONG start = BenchNow();
    LauncherRun run(RunOptions().Exe(exe).Arguments(L" \"Work\" " + Quoted(BenchProbe())));
    if (!run.started()) {
        Broken("cannot start " + Narrow(exe));
    }
    if (!channel.WaitProbe()) {
        Broken("the probe never ran after " + Narrow(exe));
    }
    const std::optional<DWORD> exitCode = run.WaitForExit();
    if (exitCode != std::optional<DWORD>(0)) {
        Broken(Narrow(exe) + " did not end with 0");
    }
    run.WaitForAllToEnd(kTimeoutMs);
    if (marks != nullptr) {
        for (int mark = kEntry; mark <= kCreated; ++mark) {
            marks[mark] = channel.shared().marks[mark] - start;
        }
    }
    return Ms(channel.shared().probeEntry - start);
}

// The launcher's first step, zsRegisterAppPath, in this process: its entry is
// written by the first call, and afterwards only read and compared, as on
// every start of the launcher but its first.
Stats AppPathCheck(int runs) {
    std::vector<double> ms;
    bool written = false;
    zsRegisterAppPath(written);
    for (int i = 0; i < runs; ++i) {
        const LONGLONG start = BenchNow();
        zsRegisterAppPath(written);
        ms.push_back(Ms(BenchNow() - start));
    }
    return Summarise(ms);
}

void LaunchBenchmark(Channel& channel, int warmup, int runs, const std::wstring& versus) {
    struct Variant {
        const char* label;
        std::wstring exe;
        std::vector<double> ms;
    };
    std::vector<Variant> variants{{"Launcher.exe", LauncherPath(), {}},
                                  {"conformant floor", ExeDirectory() + L"floorConformant.exe", {}},
                                  {"conformant floor + manifest", ExeDirectory() + L"floorManifest.exe", {}},
                                  {"bare floor", ExeDirectory() + L"floorBare.exe", {}}};
    if (!versus.empty()) {
        variants.push_back({"versus", versus, {}});
    }
    const std::wstring steps = ExeDirectory() + L"floorSteps.exe";
    // What each step of floorSteps costs, from its marks; the last two are the
    // probe's start after CreateProcessA has returned, and the whole.
    const char* stepNames[] = {"start until WinMain",
                               "load advapi32",
                               "load user32",
                               "load comctl32, InitCommonControls",
                               "own window station's name",
                               "open station and desktop",
                               "CreateProcessA",
                               "probe entry after it returns",
                               "floorSteps total"};
    std::vector<std::vector<double>> stepMs(std::size(stepNames));

    // Held for the whole benchmark, so that every run opens the same existing
    // desktop instead of racing Wine's removal of an unused one.
    const HeldDesktops work({L"Work"});
    if (!work.ok()) {
        Broken("cannot create the desktop Work");
    }
    for (int round = -warmup; round < runs; ++round) {
        // Each round starts with the next program, so that none always runs
        // right after the same other one.
        const size_t count = variants.size() + 1;
        for (size_t k = 0; k < count; ++k) {
            const size_t which = (k + static_cast<size_t>(round + warmup)) % count;
            if (which < variants.size()) {
                const double ms = LaunchOnce(channel, variants[which].exe, nullptr);
                if (round >= 0) {
                    variants[which].ms.push_back(ms);
                }
                continue;
            }
            LONGLONG marks[8] = {};
            const double total = LaunchOnce(channel, steps, marks);
            if (round >= 0) {
                stepMs[0].push_back(Ms(marks[kEntry]));
                for (int step = kAdvapi32; step <= kCreated; ++step) {
                    stepMs[static_cast<size_t>(step)].push_back(Ms(marks[step] - marks[step - 1]));
                }
                stepMs[kCreated + 1].push_back(total - Ms(marks[kCreated]));
                stepMs[kCreated + 2].push_back(total);
            }
        }
    }

    std::printf("\nLaunch: start of the program until the probe runs, \"Work\" probe (ms, %d rounds)\n", runs);
    PrintHeader("program");
    for (const Variant& variant : variants) {
        PrintRow(variant.label, Summarise(variant.ms), variant.ms.size());
    }
    const auto pairedRatio = [&](size_t other) { return Summarise(RoundRatios(variants[0].ms, variants[other].ms)); };
    PrintHeader("ratio, same round");
    PrintRow("Launcher / conformant floor", pairedRatio(1), variants[0].ms.size());
    PrintRow("Launcher / conformant + manifest", pairedRatio(2), variants[0].ms.size());
    PrintRow("Launcher / bare floor", pairedRatio(3), variants[0].ms.size());
    if (!versus.empty()) {
        PrintRow("Launcher / versus", pairedRatio(4), variants[0].ms.size());
    }
    // Another program's work on the machine only ever adds time: the lower
    // quantiles show the programs' own cost best when the machine is busy.
    std::vector<Stats> stats;
    stats.reserve(variants.size());
    for (const Variant& variant : variants) {
        stats.push_back(Summarise(variant.ms));
    }
    const auto ratios = [&](const char* name, double Stats::*field) {
        std::printf("  ratio of %-7s Launcher / conformant %.3f, / conformant + manifest %.3f, / bare %.3f\n", name,
                    stats[0].*field / stats[1].*field, stats[0].*field / stats[2].*field,
                    stats[0].*field / stats[3].*field);
    };
    ratios("medians:", &Stats::median);
    ratios("p25:", &Stats::p25);
    ratios("minima:", &Stats::min);
    // The launcher's own work beyond the floor's is a few system calls and
    // loads no DLL that the floor does not (docs/PERFORMANCE.md).
    const double toConformant = stats[0].median / stats[1].median;
    std::printf("  target, at most 1.02 x the conformant floor (ratio of medians): %s\n",
                toConformant <= 1.02 ? "met" : "not met");

    std::printf("\nStart-up steps, floorSteps (ms, %d rounds)\n", runs);
    PrintHeader("step");
    for (size_t step = 0; step < std::size(stepNames); ++step) {
        PrintRow(stepNames[step], Summarise(stepMs[step]), stepMs[step].size());
    }
    PrintRow("App Paths check, in this process", AppPathCheck(runs), static_cast<size_t>(runs));
}

// Window stations with desktops spread over them, held while they are timed.
std::vector<std::unique_ptr<HeldStation>> HoldDesktops(int count, int stationCount) {
    std::vector<std::vector<std::wstring>> names(static_cast<size_t>(stationCount));
    for (int i = 0; i < count; ++i) {
        names[static_cast<size_t>(i % stationCount)].push_back(L"BenchDesk" + std::to_wstring(i));
    }
    std::vector<std::unique_ptr<HeldStation>> held;
    for (const auto& desktops : names) {
        held.push_back(std::make_unique<HeldStation>(UniqueName(L"BenchSta"), desktops));
        if (!held.back()->ok()) {
            Broken("cannot create " + std::to_string(count) + " desktops");
        }
    }
    return held;
}

// From the start until the run's first visible window, polled tightly (the
// driver's own WaitUntil sleeps 20 ms between looks); rows is what the list
// box in it, or the window itself, holds.
double UntilVisible(LauncherRun& run, LONGLONG start, HWND& window, LONG& rows) {
    window = nullptr;
    LONGLONG shown = 0;
    while (window == nullptr) {
        if (const std::vector<HWND> windows = run.VisibleWindows(); !windows.empty()) {
            shown = BenchNow();
            window = windows.front();
        } else if (run.WaitForExit(0) || Ms(BenchNow() - start) > kTimeoutMs) {
            Broken("no window appeared");
        } else {
            Sleep(1);
        }
    }
    const HWND list = _wcsicmp(ClassOf(window).c_str(), L"ListBox") == 0
                          ? window
                          : FindWindowExW(window, nullptr, L"ListBox", nullptr);
    rows = static_cast<LONG>(Ask(list, LB_GETCOUNT));
    return Ms(shown - start);
}

// The launcher with "?", until its dialog is visible (the list is filled
// before it is shown); then Escape, which must end it with 3.
double ChooserOnce(const std::wstring& exe, LONG& rows) {
    const LONGLONG start = BenchNow();
    LauncherRun run(RunOptions().Exe(exe).Arguments(L" \"?\" " + Quoted(BenchProbe())));
    if (!run.started()) {
        Broken("cannot start the launcher");
    }
    HWND dialog = nullptr;
    const double ms = UntilVisible(run, start, dialog, rows);
    BringToFront(dialog);
    TapKey(VK_ESCAPE);
    if (run.WaitForExit() != std::optional<DWORD>(kExitCancelled)) {
        Broken("Escape did not end the chooser with 3");
    }
    return ms;
}

double ListFloorOnce(LONG& rows) {
    const LONGLONG start = BenchNow();
    LauncherRun run(RunOptions().Exe(ExeDirectory() + L"floorList.exe"));
    if (!run.started()) {
        Broken("cannot start floorList");
    }
    HWND window = nullptr;
    const double ms = UntilVisible(run, start, window, rows);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (run.WaitForExit() != std::optional<DWORD>(0)) {
        Broken("floorList did not end with 0");
    }
    return ms;
}

double EnumFloorOnce(Channel& channel, LONG& rows) {
    channel.Reset();
    const LONGLONG start = BenchNow();
    LauncherRun run(RunOptions().Exe(ExeDirectory() + L"floorEnum.exe"));
    if (!run.started() || !channel.WaitFloor() || run.WaitForExit() != std::optional<DWORD>(0)) {
        Broken("the enumeration floor did not report");
    }
    rows = channel.shared().rows;
    return Ms(channel.shared().marks[kEnumerated] - start);
}

struct Line {
    double intercept;
    double slope;
};

Line Fit(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return {(sy - slope * sx) / n, slope};
}

void ChooserBenchmark(Channel& channel, const std::vector<int>& sizes, int warmup, int runs,
                      const std::wstring& versus) {
    constexpr int kStations = 5;
    struct Program {
        std::string label;
        std::function<double(LONG&)> once;
        std::vector<double> medians;  // one per size
    };
    std::vector<Program> programs{
        {"Launcher.exe \"?\"", [](LONG& rows) { return ChooserOnce(LauncherPath(), rows); }, {}},
        {"enumeration floor", [&](LONG& rows) { return EnumFloorOnce(channel, rows); }, {}},
        {"list floor", ListFloorOnce, {}}};
    if (!versus.empty()) {
        programs.push_back({"versus \"?\"", [&](LONG& rows) { return ChooserOnce(versus, rows); }, {}});
    }
    // ms[size][program][round]
    std::vector<std::vector<std::vector<double>>> ms(sizes.size(), std::vector<std::vector<double>>(programs.size()));
    std::vector<double> rowsAt(sizes.size());
    for (int round = -warmup; round < runs; ++round) {
        // The sizes take turns as the programs do, so that a drift of the
        // machine's speed is not taken for a cost of the rows.
        for (size_t j = 0; j < sizes.size(); ++j) {
            const size_t s = (j + static_cast<size_t>(round + warmup)) % sizes.size();
            std::vector<double> times(programs.size());
            {
                const auto held = HoldDesktops(sizes[s], kStations);
                for (size_t k = 0; k < programs.size(); ++k) {
                    const size_t which = (k + static_cast<size_t>(round + warmup)) % programs.size();
                    LONG rows = 0;
                    times[which] = programs[which].once(rows);
                    if (rows < sizes[s]) {
                        Broken(programs[which].label + ": fewer rows than there are desktops");
                    }
                    if (which == 0) {
                        rowsAt[s] = static_cast<double>(rows);
                    }
                }
            }
            if (round >= 0) {
                for (size_t p = 0; p < programs.size(); ++p) {
                    ms[s][p].push_back(times[p]);
                }
            }
            // Let Wine drop the released stations before the next size.
            Sleep(1000);
        }
    }

    std::printf("\nChooser: start until the list is visible and filled (ms, %d rounds, sizes interleaved)\n", runs);
    PrintHeader("program, desktops held (rows)");
    for (size_t s = 0; s < sizes.size(); ++s) {
        const std::string tag = ", " + std::to_string(sizes[s]) + " (" + std::to_string(std::lround(rowsAt[s])) + ")";
        for (size_t p = 0; p < programs.size(); ++p) {
            const Stats stats = Summarise(ms[s][p]);
            PrintRow((programs[p].label + tag).c_str(), stats, ms[s][p].size());
            programs[p].medians.push_back(stats.median);
        }
        for (size_t p = 1; p < programs.size(); ++p) {
            PrintRow(("  Launcher / " + programs[p].label).c_str(), Summarise(RoundRatios(ms[s][0], ms[s][p])),
                     ms[s][p].size());
        }
    }
    if (sizes.size() < 2) {
        return;
    }
    std::printf("  least-squares fit of the medians, ms = fixed + per row x rows; then per row between sizes\n");
    for (const Program& program : programs) {
        const Line line = Fit(rowsAt, program.medians);
        std::printf("    %-20s fixed %7.2f, per row %8.5f;", program.label.c_str(), line.intercept, line.slope);
        for (size_t i = 1; i < rowsAt.size(); ++i) {
            std::printf("  %g-%g: %8.5f", rowsAt[i - 1], rowsAt[i],
                        (program.medians[i] - program.medians[i - 1]) / (rowsAt[i] - rowsAt[i - 1]));
        }
        std::printf("\n");
    }
    // The target is set against the list floor: no chooser can cost less than
    // a plain list box window holding the same rows. The enumeration floor
    // shows only how much of that is the enumeration.
    const double toList = programs[0].medians.back() / programs[2].medians.back();
    std::printf("  ratio of medians at %d desktops: Launcher / list floor %.3f, Launcher / enumeration floor %.3f\n",
                sizes.back(), toList, programs[0].medians.back() / programs[1].medians.back());
    std::printf("  target, at most 1.15 x the list floor at %d desktops: %s\n", sizes.back(),
                toList <= 1.15 ? "met" : "not met");
}

// What appending the rows to a list box costs by itself, in this process:
// a list box like the chooser's, visible in a dialog that is not shown yet,
// filled with and without its redrawing switched off meanwhile.
void ListFillBenchmark(int rows, int runs) {
    std::vector<std::wstring> texts;
    texts.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        texts.push_back(L"    BenchDesk" + std::to_wstring(i));
    }
    std::vector<double> plain, quiet;
    for (int round = 0; round < runs; ++round) {
        for (const bool suspend : {false, true}) {
            const HWND parent = CreateWindowExW(0, L"#32770", L"", WS_POPUP | WS_CAPTION, 0, 0, 441, 281, nullptr,
                                                nullptr, nullptr, nullptr);
            const HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 8,
                                              8, 425, 228, parent, nullptr, nullptr, nullptr);
            const LONGLONG start = BenchNow();
            if (suspend) {
                SendMessageW(list, WM_SETREDRAW, FALSE, 0);
            }
            for (const std::wstring& text : texts) {
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            }
            if (suspend) {
                SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            }
            (suspend ? quiet : plain).push_back(Ms(BenchNow() - start));
            DestroyWindow(parent);
        }
    }
    std::printf("\nList box fill, %d rows, in this process (ms, %d rounds)\n", rows, runs);
    PrintHeader("how");
    PrintRow("LB_ADDSTRING each row", Summarise(plain), plain.size());
    PrintRow("the same inside WM_SETREDRAW off/on", Summarise(quiet), quiet.size());
}

std::vector<int> ParseSizes(const std::wstring& text) {
    std::vector<int> sizes;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L',', at);
        end = end == std::wstring::npos ? text.size() : end;
        sizes.push_back(std::stoi(text.substr(at, end - at)));
        at = end + 1;
    }
    return sizes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 30;
    int warmup = 3;
    int chooserRuns = 15;
    std::vector<int> sizes{10, 100, 1000};
    std::wstring versus;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        const std::wstring value = argv[i + 1];
        if (option == L"--runs") {
            runs = std::stoi(value);
        } else if (option == L"--warmup") {
            warmup = std::stoi(value);
        } else if (option == L"--chooser-runs") {
            chooserRuns = std::stoi(value);
        } else if (option == L"--sizes") {
            sizes = ParseSizes(value);
        } else if (option == L"--versus") {
            versus = value;
        }
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;

    Channel channel;
    if (runs > 0) {
        LaunchBenchmark(channel, warmup, runs, versus);
    }
    if (chooserRuns > 0 && !sizes.empty()) {
        ChooserBenchmark(channel, sizes, warmup, chooserRuns, versus);
        ListFillBenchmark(*std::max_element(sizes.begin(), sizes.end()), chooserRuns);
    }
    std::fflush(stdout);
    return 0;
}
