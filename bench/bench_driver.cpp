// Measures the launcher against a ladder of baselines in the same run and prints the tables:
//   start-up  process creation to the first complete paint seen on the screen, for
//               bare      a bare window of the launcher's client size
//               com       the same in a single-threaded COM apartment
//               required  the launcher's own code (window, icons, fonts, buttons, prompt, focus,
//                         COM) with the picture ready in memory (shared by this driver) instead
//                         of decoded: the floor of its work
//               launcher  Project1.exe
//             and any other build named on the command line, compared with the launcher.
//             Every round starts each program once, in an order shuffled from round to round;
//             while a program starts, the driver waits for it to go idle and then looks at the
//             screen once a millisecond, so it takes no processor from the program it measures.
//   decode    the picture's decoding in this process, against copying its ready pixels
//   repaint   one full repaint of the client area, against a plain BitBlt of the picture
//   memory    peak working set after start-up
//   size      Project1.exe in bytes
// Usage: bench_driver ROUNDS [NAME=PROGRAM ...]; the programs of the build lie beside it.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "desktop.h"
#include "form_description.h"
#include "handles_win32.h"
#include "launcher_shell_win32.h"
#include "launcher_window_win32.h"
#include "module_path_win32.h"
#include "picture_codec.h"
#include "picture_win32.h"
#include "ready_picture.h"
#include "statistics.h"
#include "welcome_picture.h"

namespace {

// A program of the build, which lies beside this one.
std::wstring Beside(const std::wstring& name)
{
    const std::wstring self = ExecutablePath().value_or(L"");
    return self.substr(0, self.rfind(L'\\') + 1) + name;
}

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// What a program shows once its first paint is complete: white for the bare windows; for the
// launcher and the required baseline, the field to the client's corner, the white prompt and
// all three buttons.
enum class Look { White, Launcher };

COLORREF ScreenPixel(HDC screen, HWND window, int x, int y)
{
    POINT at{x, y};
    ClientToScreen(window, &at);
    return GetPixel(screen, at.x, at.y);
}

bool Painted(HWND window, Look look)
{
    const ScreenDc screen = BorrowScreenDc();
    const PixelSize client = ClientPixels(LauncherForm(), 96, 96);
    const COLORREF corner = ScreenPixel(screen.get(), window, client.width - 1, client.height - 1);
    if (look == Look::White)
        return corner == RGB(255, 255, 255) && ScreenPixel(screen.get(), window, 0, 0) == RGB(255, 255, 255);
    if (corner != kWelcomeFieldColor)
        return false;
    bool prompt = false;
    for (const ControlDescription& control : LauncherForm().controls) {
        const PixelRect at = ControlPixels(control, 96, 96);
        if (control.kind == ControlKind::CommandButton) {
            if (ScreenPixel(screen.get(), window, at.left + 6, at.top + at.height / 2) != GetSysColor(COLOR_BTNFACE))
                return false;
            continue;
        }
        for (int x = at.left; x < at.left + at.width && !prompt; x += 2)
            prompt = ScreenPixel(screen.get(), window, x, at.top + at.height / 3) == RGB(255, 255, 255);
    }
    return prompt;
}

struct Program {
    std::string name;
    std::wstring path;
    const wchar_t* caption;
    Look look;
    std::vector<double> startMs = {}, peakMiB = {};
};

// Starts the program, waits until it is painted, then measures its memory and closes it. False
// when it did not come up painted within ten seconds.
bool StartOnce(Program& program)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program.path + L"\"";
    const double start = Now();
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForInputIdle(process.hProcess, 10000);
    HWND window = nullptr;
    double end = 0;
    while (!end && Now() - start < 10) {
        if (!window) {
            window = FindProcessWindow(process.dwProcessId, nullptr, program.caption);
            if (window && !IsWindowVisible(window))
                window = nullptr;
        }
        if (window && Painted(window, program.look))
            end = Now();
        else
            Sleep(1);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!end)
        return false;
    program.startMs.push_back((end - start) * 1000);
    program.peakMiB.push_back(double(memory.PeakWorkingSetSize) / (1024 * 1024));
    return true;
}

// Milliseconds for each of `runs` calls of `work`, each the mean of `repeat` calls.
std::vector<double> Time(int runs, int repeat, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const double start = Now();
        for (int i = 0; i < repeat; ++i)
            work();
        GdiFlush();
        times.push_back((Now() - start) * 1000 / repeat);
    }
    return times;
}

// Shares the picture, ready, under kReadyPictureName for as long as the returned handle stays
// open: its size, then its pixels as the window keeps them.
HANDLE ShareReadyPicture(PictureSize size, const std::vector<std::uint8_t>& pixels)
{
    const DWORD bytes = DWORD(sizeof(ReadyPictureHeader) + pixels.size());
    HANDLE shared = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, kReadyPictureName);
    auto* view = static_cast<std::uint8_t*>(shared ? MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, bytes) : nullptr);
    if (!view)
        return nullptr;
    const ReadyPictureHeader header{size.width, size.height};
    std::memcpy(view, &header, sizeof header);
    std::memcpy(view + sizeof header, pixels.data(), pixels.size());
    UnmapViewOfFile(view);
    return shared;
}

std::string Figure(const Estimate& e, const char* format)
{
    char text[128];
    const std::string f = std::string(format) + " (" + format + " to " + format + ")";
    std::snprintf(text, sizeof text, f.c_str(), e.value, e.low, e.high);
    return text;
}

const char* Verdict(const Estimate& e, double target)
{
    if (e.value > target)
        return "MISSED";
    return e.high > target ? "met (its interval reaches past the target)" : "met";
}

// The ladder, from the bottom; other builds named on the command line (NAME=PROGRAM) come after
// the launcher and are held against it.
constexpr size_t kRequired = 2, kLauncher = 3;
std::vector<Program> Ladder(int argc, wchar_t** argv)
{
    std::vector<Program> programs{
        {"bare window", Beside(L"baseline_bare.exe"), L"Baseline", Look::White},
        {"+ STA COM", Beside(L"baseline_com.exe"), L"Baseline", Look::White},
        {"+ everything the launcher must do, picture ready", Beside(L"baseline_required.exe"), L"Tolvanix", Look::Launcher},
        {"Project1.exe", Beside(L"Project1.exe"), L"Tolvanix", Look::Launcher},
    };
    for (int i = 2; i < argc; ++i) {
        const std::wstring named = argv[i];
        const size_t equals = named.find(L'=');
        programs.push_back({Utf8(named.substr(0, equals)), named.substr(equals + 1), L"Tolvanix", Look::Launcher});
    }
    return programs;
}

// Starts every program once a round, in an order shuffled the same way on every run, so that no
// program always follows the same one and starts while that one's window is still being cleared
// away. A first start of each, unmeasured, fills the file cache. False when one did not come up.
bool MeasureStartUps(std::vector<Program>& programs, int rounds)
{
    for (Program& program : programs) {
        StartOnce(program);
        program.startMs.clear();
        program.peakMiB.clear();
    }
    std::vector<size_t> order(programs.size());
    std::uint32_t seed = 2463534242u;
    for (int r = 0; r < rounds; ++r) {
        for (size_t k = 0; k < order.size(); ++k) {
            order[k] = k;
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            std::swap(order[k], order[seed % (k + 1)]);
        }
        for (size_t k : order) {
            Sleep(50);  // the desktop repaints where the last window was
            if (!StartOnce(programs[k])) {
                std::fprintf(stderr, "bench: %s did not come up painted\n", programs[k].name.c_str());
                return false;
            }
        }
    }
    return true;
}

// What is measured in this process, each against its baseline.
struct InProcess {
    std::vector<double> decode, ready, repaint, blit;
};

InProcess MeasureInProcess(int rounds, PictureSize size, const std::vector<std::uint8_t>& pixels)
{
    InProcess measured;
    // The decoding, against the floor of a picture's cost: the window's bitmap made and filled
    // with pixels ready in memory.
    measured.decode = Time(rounds, 1, [] { LoadWelcomePicture(); });
    measured.ready = Time(rounds, 1, [&] {
        void* bits = nullptr;
        const UniqueBitmap bitmap = CreatePictureBitmap(size.width, size.height, &bits);
        if (bits)
            std::memcpy(bits, pixels.data(), pixels.size());
    });
    // A full repaint, against a BitBlt of the picture alone.
    Win32LauncherShell shell(Kernel32Export);  // never pressed
    HWND window = LauncherWindow::Create(GetModuleHandleW(nullptr), shell, LoadWelcomePicture, Kernel32Export);
    LauncherWindow::Show(window);
    HDC target = GetDC(window);
    const UniqueMemoryDc source(CreateCompatibleDC(target));
    const UniqueBitmap sourceBitmap(CreateCompatibleBitmap(target, size.width, size.height));
    const Selection sourceSelection = Select(source.get(), sourceBitmap.get());
    measured.repaint = Time(rounds, 100, [&] { SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(target), PRF_CLIENT); });
    measured.blit = Time(rounds, 100, [&] { BitBlt(target, 0, 0, size.width, size.height, source.get(), 0, 0, SRCCOPY); });
    ReleaseDC(window, target);
    DestroyWindow(window);
    return measured;
}

void PrintStartUps(int rounds, const std::vector<Program>& programs)
{
    std::printf("%d rounds; medians, each with its 95%% confidence interval from resampling the rounds.\n\n", rounds);
    std::printf("| start-up to the first full paint | median ms | vs the rung below: ratio of medians | vs the rung below: "
                "difference, round by round | vs bare window: ratio |\n|---|---|---|---|---|\n");
    for (size_t k = 0; k < programs.size(); ++k) {
        const Program& p = programs[k];
        const Program& above = programs[k > kLauncher ? kLauncher : (k ? k - 1 : 0)];  // other builds: the launcher
        std::printf("| %s | %s |", p.name.c_str(), Figure(MedianOf(p.startMs), "%.1f").c_str());
        if (k == 0)
            std::printf(" | | |\n");
        else
            std::printf(" %s | %s ms | %s |\n", Figure(RatioOfMedians(p.startMs, above.startMs), "%.3f").c_str(),
                        Figure(PairedDifference(p.startMs, above.startMs), "%+.2f").c_str(),
                        Figure(RatioOfMedians(p.startMs, programs[0].startMs), "%.3f").c_str());
    }
}

void PrintGoals(const std::vector<Program>& programs, const InProcess& measured)
{
    WIN32_FILE_ATTRIBUTE_DATA file{};
    GetFileAttributesExW(Beside(L"Project1.exe").c_str(), GetFileExInfoStandard, &file);
    const double size = file.nFileSizeLow;
    const Estimate difference = PairedDifference(programs[kLauncher].startMs, programs[kRequired].startMs);
    const Estimate ratio = RatioOfMedians(programs[kLauncher].startMs, programs[kRequired].startMs);
    // Machines differ two to three times in speed from one another and from day to day, so the
    // decode is held against copying the same pixels ready, on the same machine in the same run.
    // The runs seen, on slow days and fast ones and on two machines, have put it at 1.46 to 2.08
    // times the copy; 2.5 leaves a fifth over the highest for machines not seen yet, and still
    // tells a decoder that has become a fifth slower where it comes closest.
    const Estimate decoding = RatioOfMedians(measured.decode, measured.ready);
    std::printf("\n| goal | measured | target | |\n|---|---|---|---|\n");
    std::printf("| launcher vs required work: difference, round by round | %s ms | <= 1.0 ms | %s |\n",
                Figure(difference, "%+.2f").c_str(), Verdict(difference, 1.0));
    std::printf("| launcher vs required work: ratio of medians | %s | <= 1.01 | %s |\n", Figure(ratio, "%.3f").c_str(),
                Verdict(ratio, 1.01));
    std::printf("| picture decode vs copying it ready, in process: ratio of medians | %s | <= 2.5 | %s |\n",
                Figure(decoding, "%.2f").c_str(), Verdict(decoding, 2.5));
    std::printf("| Project1.exe size | %.0f bytes | <= 65536 bytes | %s |\n", size, size <= 65536 ? "met" : "MISSED");
}

void PrintOtherMeasures(const std::vector<Program>& programs, const InProcess& measured)
{
    std::printf("\n| other measures | launcher | baseline | |\n|---|---|---|---|\n");
    std::printf("| picture: decoded vs copied ready into the window's bitmap | %s ms | %s ms | |\n",
                Figure(MedianOf(measured.decode), "%.2f").c_str(), Figure(MedianOf(measured.ready), "%.2f").c_str());
    std::printf("| full repaint vs BitBlt of the picture | %s ms | %s ms | ratio %.2f |\n",
                Figure(MedianOf(measured.repaint), "%.3f").c_str(), Figure(MedianOf(measured.blit), "%.3f").c_str(),
                Median(measured.repaint) / Median(measured.blit));
    std::printf("| peak working set vs bare window | %.2f MiB | %.2f MiB | +%.2f MiB |\n", Median(programs[kLauncher].peakMiB),
                Median(programs[0].peakMiB), Median(programs[kLauncher].peakMiB) - Median(programs[0].peakMiB));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = std::max(15, argc > 1 ? _wtoi(argv[1]) : 101);
    std::vector<Program> programs = Ladder(argc, argv);

    const std::span<const std::uint8_t> stream(kWelcomePictureStream, kWelcomePictureStreamSize);
    const std::optional<PictureSize> size = PictureSizeOf(stream);
    const std::optional<std::vector<std::uint8_t>> pixels = DecodedPixels(stream);
    HANDLE shared = size && pixels ? ShareReadyPicture(*size, *pixels) : nullptr;
    if (!shared) {
        std::fprintf(stderr, "bench: the picture could not be decoded and shared for the required baseline\n");
        return 1;
    }
    if (!MeasureStartUps(programs, rounds))
        return 1;
    const InProcess measured = MeasureInProcess(rounds, *size, *pixels);
    CloseHandle(shared);

    PrintStartUps(rounds, programs);
    PrintGoals(programs, measured);
    PrintOtherMeasures(programs, measured);
    return 0;
}
