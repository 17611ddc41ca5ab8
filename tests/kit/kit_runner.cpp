// Runs the launcher's Win32 tests, or its start-up benchmark, on the Windows at hand, from the
// unpacked test kit (run-tests.cmd and run-bench.cmd call it):
//   kit_runner tests [--double-clicked] [FILTER]   each test of each test program in a process of
//                        its own, a line a test, a JUnit report, and as the last line
//                        "N passed, N failed, N skipped"; FILTER as GoogleTest's --gtest_filter
//   kit_runner bench [--double-clicked] [ROUNDS]   the start-up ladder, its table also written
//                        beside the report
// It works beside the kit, or where the kit's folder cannot be written (a disc) or cannot be
// named in the ANSI code page (which the launcher's request is made in), in a temporary folder
// that it removes at the end. Started by a double-click, it waits for a key before its window
// closes. A test fails too when a window it does not expect appears meanwhile; where the kit cannot
// drive its desktop, only the tests that need none run. Exit code: 0 when something passed and
// nothing failed.

#include <windows.h>

#include <conio.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop_check.h"
#include "support.h"

namespace {

// The files each kind of run needs, from the kit's top folder.
constexpr const wchar_t* kTestFiles[] = {
    L"bin\\Project1.exe", L"bin\\old_windows_launcher.exe", L"bin\\win32_tests.exe", L"bin\\launcher_e2e_tests.exe",
    L"bin\\setup_standin.exe", L"bin\\stack_overrun.exe", L"bin\\load_hook.dll", L"standin\\shell32.dll",
};
constexpr const wchar_t* kBenchFiles[] = {
    L"bin\\Project1.exe", L"bin\\bench_driver.exe", L"bin\\baseline_bare.exe", L"bin\\baseline_com.exe",
    L"bin\\baseline_required.exe",
};
constexpr const wchar_t* kTestPrograms[] = {L"win32_tests.exe", L"launcher_e2e_tests.exe"};
// The tests that need no desktop: they show no window, send no input and read no screen. On a
// desktop that the kit cannot drive only these run; a program not named here needs one throughout.
constexpr struct {
    const wchar_t* program;
    const wchar_t* filter;
} kWithoutDesktop[] = {
    {L"win32_tests.exe", L"AnsiCodePage.*:LauncherDirectoryFromItsPlace.*:DllSearch.*:MarkOfTheWeb.*:VersionDetails.*:Icon.*:StackProtection.*"},
};
// Longer than any test takes on a slow machine; a test still running then has hung.
constexpr DWORD kTestLimitMs = 5 * 60 * 1000;

// Lines to the console in its own characters, or UTF-8 to a file or pipe.
void Say(const std::string& text)
{
    const std::string line = text + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        std::wstring wide(line.size(), L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                                        static_cast<int>(wide.size())));
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

bool ConsoleInput()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// Where a run writes: the tests' scratch folders, and the results a person reads afterwards.
struct Workspace {
    fs::path work, results;
    bool temporary = false;
};

bool Writable(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    HANDLE file = CreateFileW((folder / L".writable").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool InAnsiCodePage(const std::wstring& text)
{
    if (GetACP() == CP_UTF8)
        return true;
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, nullptr, &lossy);
    return !lossy;
}

fs::path TemporaryFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    GetTempPathW(static_cast<DWORD>(std::size(path)), path);
    return path;
}

Workspace ChooseWorkspace(const fs::path& kit)
{
    const bool writable = Writable(kit / L"work");
    if (writable && InAnsiCodePage((kit / L"work").wstring()))
        return {kit / L"work", kit / L"results", false};
    Say(writable ? "The kit's folder has letters that this Windows's ANSI code page lacks, and the launcher "
                                  "cannot start a setup program from such a folder."
                                : "The kit's folder cannot be written to.");
    Workspace temporary{TemporaryFolder() / (L"Tolvanix tests " + std::to_wstring(GetCurrentProcessId())),
                        TemporaryFolder() / L"Tolvanix test results", true};
    Say("The tests work in " + Utf8(temporary.work.wstring()) + " and remove it when they end.");
    return temporary;
}

// --- The tests ---------------------------------------------------------------------------

enum class Status { Passed, Failed, Skipped };

struct Result {
    std::string program, name;
    Status status;
    double seconds;
    std::string detail;  // the reason of a skip, the output of a failure
};

// The tests of a program, as "Suite.Name", from GoogleTest's listing; `problem` says why there
// are none where the program did not start or did not list them (on an older Windows, a program
// that imports what it lacks does not start at all, and its tests would silently go missing).
struct Listing {
    std::vector<std::string> tests;
    std::string problem;
};

Listing ListTests(const fs::path& program, const std::wstring& filter, const Workspace& workspace)
{
    const fs::path listing = workspace.work / L"listing.txt";
    {
        const Process lister(program, L"--gtest_list_tests" + (filter.empty() ? L"" : L" \"--gtest_filter=" + filter + L"\""),
                             workspace.work, listing);
        if (!lister.Started())
            return {{}, "it could not be started"};
        if (const long code = lister.WaitForExit(); code != 0)
            return {{}, code == -1 ? "it did not list its tests within a minute" : "it ended with code " + std::to_string(code)};
    }
    Listing found;
    std::string suite;
    const std::string text = ReadText(listing);
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string name = line.substr(0, line.find("  #", 2));  // parameters are shown after '#'
        if (line.rfind("  ", 0) == 0)
            found.tests.push_back(suite + name.substr(2, name.find(' ', 2) - 2));
        else if (!name.empty() && name.back() == '.')
            suite = name;
    }
    if (found.tests.empty() && filter.empty())
        found.problem = "it listed no tests";
    return found;
}

// What the test printed between its start and its end, without the lines that frame it.
std::string Between(const std::string& output, const std::string& first, const std::string& last)
{
    const size_t start = output.find(first);
    const size_t end = output.find(last, start == std::string::npos ? 0 : start);
    if (start == std::string::npos || end == std::string::npos)
        return output;
    const size_t from = output.find('\n', start);
    return from == std::string::npos || from > end ? std::string() : output.substr(from + 1, end - from - 1);
}

Result RunTest(const fs::path& program, const std::string& name, const Workspace& workspace, WindowWatch& watch)
{
    const fs::path output = workspace.work / L"output.txt";
    const fs::path scratch = workspace.work / L"scratch";
    fs::create_directories(scratch);
    const std::wstring wideName(name.begin(), name.end());
    const DWORD start = GetTickCount();
    long code = -1;
    std::vector<std::string> unexpected;
    watch.Begin();
    {
        const Process test(program, L"\"--gtest_filter=" + wideName + L"\" --gtest_color=no", scratch, output);
        while (test.Started() && (code = test.WaitForExit(100)) == -1 && GetTickCount() - start < kTestLimitMs)
            watch.Look(test.Id());
        unexpected = watch.End(test.Id());
    }  // a test still running at its limit is ended here
    Result result{Utf8(program.stem().wstring()), name, Status::Failed, (GetTickCount() - start) / 1000.0, {}};
    std::string text = ReadText(output);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    const std::string run = "[ RUN      ] " + name;
    if (code == 0 && text.find("[  SKIPPED ] " + name) != std::string::npos) {
        result.status = Status::Skipped;
        // GoogleTest prints "file(line): Skipped", then the reason.
        const std::string block = Between(text, run, "[  SKIPPED ] " + name);
        const size_t skipped = block.find("Skipped\n");
        result.detail = skipped == std::string::npos ? block : block.substr(skipped + 8);
        while (!result.detail.empty() && (result.detail.back() == '\n' || result.detail.back() == ' '))
            result.detail.pop_back();
    } else if (code == 0 && text.find("[       OK ] " + name) != std::string::npos) {
        result.status = Status::Passed;
    } else {
        result.detail = Between(text, run, "[  FAILED  ] " + name);
        if (code == -1)
            result.detail += "\n(the test did not end within " + std::to_string(kTestLimitMs / 60000) + " minutes and was stopped)";
        else if (text.find("[  FAILED  ] " + name) == std::string::npos)
            result.detail += "\n(the test program ended with code " + std::to_string(code) + ")";
    }
    if (!unexpected.empty()) {
        std::string windows = "a window that the test does not expect appeared while it ran:";
        for (const std::string& window : unexpected)
            windows += "\n  " + window;
        result.detail = result.status == Status::Failed ? result.detail + "\n" + windows : windows;
        result.status = Status::Failed;
    }
    return result;
}

std::string Indented(const std::string& text)
{
    std::string out = "    ";
    for (char c : text)
        out += c == '\n' ? std::string("\n    ") : std::string(1, c);
    return out;
}

void Report(const Result& r)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " (%.1f s)", r.seconds);
    switch (r.status) {
    case Status::Passed: Say("passed   " + r.name + seconds); break;
    case Status::Skipped: Say("skipped  " + r.name + ": " + r.detail); break;
    case Status::Failed: Say("FAILED   " + r.name + seconds + "\n" + Indented(r.detail)); break;
    }
}

// --- The JUnit report --------------------------------------------------------------------

std::string Xml(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c < 0x20 && c != '\n' && c != '\t' ? ' ' : static_cast<char>(c);  // none else is allowed in XML
        }
    }
    return out;
}

void WriteJUnit(const fs::path& file, const std::vector<Result>& results)
{
    std::string body;
    size_t failures = 0, skips = 0;
    double total = 0;
    for (const Result& r : results) {
        failures += r.status == Status::Failed;
        skips += r.status == Status::Skipped;
        total += r.seconds;
        const size_t dot = r.name.find('.');
        body += "    <testcase classname=\"" + Xml(r.program + "." + r.name.substr(0, dot)) + "\" name=\"" +
                Xml(r.name.substr(dot + 1)) + "\" time=\"" + std::to_string(r.seconds) + "\">";
        if (r.status == Status::Skipped)
            body += "<skipped message=\"" + Xml(r.detail) + "\"/>";
        else if (r.status == Status::Failed)
            body += "<failure message=\"" + Xml(r.detail.substr(0, r.detail.find('\n'))) + "\">" + Xml(r.detail) + "</failure>";
        body += "</testcase>\n";
    }
    const std::string counts = "tests=\"" + std::to_string(results.size()) + "\" failures=\"" + std::to_string(failures) +
                               "\" errors=\"0\" skipped=\"" + std::to_string(skips) + "\" time=\"" + std::to_string(total) + "\"";
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"Tolvanix launcher\" " + counts +
                            ">\n  <testsuite name=\"Win32 tests on Windows " + WindowsVersion() + "\" " + counts + ">\n" +
                            body + "  </testsuite>\n</testsuites>\n";
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (out != INVALID_HANDLE_VALUE) {
        WriteFile(out, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
        CloseHandle(out);
    }
}

// --- The runs ----------------------------------------------------------------------------

std::string Where(bool tests)
{
    const SIZE dpi = ScreenDpi();
    std::string where = "Windows " + WindowsVersion() + (IsWine() ? " as Wine plays it" : "") + ", " + std::to_string(dpi.cx) +
                        " DPI, a screen of " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                        std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ".";
    if (tests && IsWine())
        where += WineMeansAvailable() ? " Every check runs, Wine's own means included."
                                      : " Each check takes the Windows way (LAUNCHER_TESTS_AS_WINDOWS=1).";
    return where;
}

// The summary line comes last; before it, where the report is, and how to close the window.
int Finish(const std::string& summary, const std::string& report, bool failed, bool waitForKey)
{
    Say(report);
    if (waitForKey)
        Say("Press a key to close this window.");
    Say(summary);
    if (waitForKey)
        _getch();
    return failed ? 1 : 0;
}

int RunTests(const fs::path& kit, const std::wstring& filter, bool waitForKey)
{
    const Workspace workspace = ChooseWorkspace(kit);
    EmptyFolder(workspace.work);
    std::error_code error;
    fs::create_directories(workspace.results, error);
    Say(Where(true));
    const std::string noDesktop = WhyTheDesktopCannotBeDriven();
    if (!noDesktop.empty())
        Say("The kit cannot drive this desktop: " + noDesktop + ". Only the tests that need none run.");
    std::vector<Result> results;
    size_t counts[3] = {};
    const auto record = [&](Result result) {
        ++counts[static_cast<int>(result.status)];
        Report(result);
        results.push_back(std::move(result));
    };
    WindowWatch watch;
    for (const wchar_t* name : kTestPrograms) {
        const fs::path program = kit / L"bin" / name;
        // Every program must list its tests, whatever the filter then picks of them.
        Listing listing = ListTests(program, L"", workspace);
        if (listing.problem.empty() && !filter.empty())
            listing = ListTests(program, filter, workspace);
        if (!listing.problem.empty())
            record({Utf8(program.stem().wstring()), Utf8(name), Status::Failed, 0,
                    "the test program " + Utf8(name) + " ran none of its tests: " + listing.problem});
        std::vector<std::string> withoutDesktop;
        for (const auto& entry : kWithoutDesktop)
            if (!noDesktop.empty() && std::wstring_view(entry.program) == name)
                withoutDesktop = ListTests(program, entry.filter, workspace).tests;
        for (const std::string& test : listing.tests) {
            if (!noDesktop.empty() && std::find(withoutDesktop.begin(), withoutDesktop.end(), test) == withoutDesktop.end()) {
                record({Utf8(program.stem().wstring()), test, Status::Skipped, 0, "the kit cannot drive this desktop: " + noDesktop});
                continue;
            }
            EmptyFolder(workspace.work / L"scratch");
            record(RunTest(program, test, workspace, watch));
        }
    }
    const fs::path report = workspace.results / L"report.xml";
    WriteJUnit(report, results);
    if (workspace.temporary)
        RemoveFolder(workspace.work);
    // Green only when something ran and nothing failed.
    return Finish(std::to_string(counts[0]) + " passed, " + std::to_string(counts[1]) + " failed, " + std::to_string(counts[2]) +
                      " skipped" + (counts[0] + counts[1] == 0 ? ", so nothing was checked" : "") +
                      (noDesktop.empty() ? "" : "; the tests that need a desktop are skipped, as the kit cannot drive this one"),
                  "The JUnit report is " + Utf8(report.wstring()) + ".", counts[1] > 0 || counts[0] == 0, waitForKey);
}

int RunBench(const fs::path& kit, const std::wstring& rounds, bool waitForKey)
{
    const Workspace workspace = ChooseWorkspace(kit);
    std::error_code error;
    fs::create_directories(workspace.results, error);
    Say(Where(false));
    Say("The benchmark starts each program of its ladder " + Utf8(rounds.empty() ? L"101" : rounds) +
        " times; that takes some minutes.");
    const fs::path table = workspace.results / L"bench.md";
    long code = -1;
    {
        const Process bench(kit / L"bin" / L"bench_driver.exe", rounds, kit / L"bin", table);
        code = bench.WaitForExit(INFINITE);
    }
    Say(ReadText(table));
    if (workspace.temporary)
        RemoveFolder(workspace.work);
    return Finish(code == 0 ? "The benchmark ran to its end." : "The benchmark failed (exit code " + std::to_string(code) + ").",
                  "The table is also in " + Utf8(table.wstring()) + ".", code != 0, waitForKey);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring_view mode = argc > 1 ? argv[1] : L"";
    int next = 2;
    const bool doubleClicked = argc > next && std::wstring_view(argv[next]) == L"--double-clicked";
    next += doubleClicked;
    const std::wstring argument = argc > next ? argv[next] : L"";
    // A window opened by a double-click closes when the program ends; a console stays.
    const bool waitForKey = doubleClicked && ConsoleInput();
    if (mode != L"tests" && mode != L"bench") {
        Say("usage: kit_runner tests|bench [--double-clicked] [FILTER|ROUNDS]");
        return 2;
    }

    // Two runs at once would fight over the pointer and the keyboard.
    HANDLE running = CreateMutexW(nullptr, FALSE, L"Local\\TolvanixWindowsTestKit");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        Say("Another run of this kit is going on, and it needs the mouse and keyboard to itself. Let it end, then start "
            "this again.");
        return 3;
    }

    const fs::path kit = ThisExecutable().parent_path().parent_path();
    bool complete = true;
    for (const wchar_t* file : mode == L"tests" ? std::vector(std::begin(kTestFiles), std::end(kTestFiles))
                                                : std::vector(std::begin(kBenchFiles), std::end(kBenchFiles)))
        if (GetFileAttributesW((kit / file).c_str()) == INVALID_FILE_ATTRIBUTES) {
            Say("The kit is incomplete: " + Utf8(file) + " is missing. Unpack the whole archive again.");
            complete = false;
        }
    const int code = !complete ? 2 : mode == L"tests" ? RunTests(kit, argument, waitForKey) : RunBench(kit, argument, waitForKey);
    CloseHandle(running);
    return code;
}
