// Measures the launcher against baselines in the same run and prints a table:
//   start-up  process creation to the first fully painted window (seen in screen pixels),
//             against a bare window of the same client size
//   paint     one full repaint of the client area, against a plain BitBlt of the picture
//   memory    peak working set and private bytes after start-up, against the bare window
//   size      Project1.exe in bytes
// Usage: bench_driver RUNS (at least 15); the programs lie beside it.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "window/handles_win32.h"
#include "window/launcher_shell_win32.h"
#include "window/launcher_window_win32.h"
#include "window/picture_win32.h"

namespace {

std::wstring Beside(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1) + name;
}

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

struct Stats {
    double median, min, max;
};
Stats Summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// The client area as it stands on screen, read in one copy per look so both programs are
// watched at the same cost.
class ScreenReader {
public:
    ScreenReader(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* pixels = nullptr;
        bitmap_ = UniqueBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
        pixels_ = static_cast<const DWORD*>(pixels);
        selection_ = Select(dc_.get(), bitmap_.get());
    }
    void Read(HWND window)
    {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        const ScreenDc screen = BorrowScreenDc();
        BitBlt(dc_.get(), 0, 0, width_, height_, screen.get(), origin.x, origin.y, SRCCOPY);
    }
    COLORREF At(int x, int y) const
    {
        const DWORD p = pixels_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_, height_;
    UniqueMemoryDc dc_{CreateCompatibleDC(nullptr)};
    UniqueBitmap bitmap_;
    Selection selection_;  // last, so the bitmap leaves the DC before either goes
    const DWORD* pixels_ = nullptr;
};

struct StartResult {
    double seconds;
    SIZE_T peakWorkingSet, privateBytes;
};

// Starts the program, waits until `painted` sees it drawn, then measures and closes it.
StartResult StartAndMeasure(const std::wstring& exe, const wchar_t* title,
                            const std::function<bool(const ScreenReader&)>& painted)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    const PixelSize client = ClientPixels(LauncherForm(), 96, 96);
    ScreenReader screen(client.width, client.height);
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {-1, 0, 0};
    HWND window = nullptr;
    double end = 0;
    for (;;) {
        if (!window) {
            HWND found = FindWindowW(nullptr, title);
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (found && owner == process.dwProcessId && IsWindowVisible(found))
                window = found;
        }
        if (window) {
            screen.Read(window);
            if (painted(screen)) {
                end = Now();
                break;
            }
        }
        if (Now() - start > 60)
            break;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine leaves PrivateUsage at 0 and reports the same commit charge as PagefileUsage.
    return {end ? end - start : -1, memory.PeakWorkingSetSize, memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage};
}

bool LauncherPainted(const ScreenReader& s)
{
    const COLORREF field = kWelcomeFieldColor;
    if (s.At(684, 446) != field || s.At(400, 170) != field)
        return false;
    for (int x = 224; x < 640; ++x)  // the prompt's white, across the middle of its line
        if (s.At(x, 135) == RGB(255, 255, 255))
            return true;
    return false;
}

bool BaselinePainted(const ScreenReader& s) { return s.At(684, 446) == RGB(255, 255, 255) && s.At(10, 10) == RGB(255, 255, 255); }

// Seconds for `repeat` calls of `draw`, as the median of `runs`.
std::vector<double> TimeDrawing(int runs, int repeat, const std::function<void()>& draw)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const double start = Now();
        for (int i = 0; i < repeat; ++i)
            draw();
        GdiFlush();
        times.push_back((Now() - start) / repeat);
    }
    return times;
}

void Row(const char* what, const char* unit, double scale, Stats ours, Stats base, const char* target, bool met)
{
    std::printf("| %s | %.2f (%.2f-%.2f) %s | %.2f (%.2f-%.2f) %s | %.2f | %s | %s |\n", what, ours.median * scale,
                ours.min * scale, ours.max * scale, unit, base.median * scale, base.min * scale, base.max * scale, unit,
                ours.median / base.median, target, met ? "met" : "MISSED");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = std::max(15, argc > 1 ? _wtoi(argv[1]) : 15);
    std::vector<double> launcherStart, baselineStart, launcherPeak, baselinePeak, launcherPrivate, baselinePrivate;
    // Alternating, so both meet the machine in the same moods.
    StartAndMeasure(Beside(L"Project1.exe"), L"Tolvanix", LauncherPainted);  // warms the file cache
    StartAndMeasure(Beside(L"baseline_window.exe"), L"Baseline", BaselinePainted);
    for (int r = 0; r < runs; ++r) {
        const StartResult ours = StartAndMeasure(Beside(L"Project1.exe"), L"Tolvanix", LauncherPainted);
        const StartResult base = StartAndMeasure(Beside(L"baseline_window.exe"), L"Baseline", BaselinePainted);
        if (ours.seconds < 0 || base.seconds < 0) {
            std::fprintf(stderr, "bench: a window did not appear painted\n");
            return 1;
        }
        launcherStart.push_back(ours.seconds);
        baselineStart.push_back(base.seconds);
        launcherPeak.push_back(double(ours.peakWorkingSet));
        baselinePeak.push_back(double(base.peakWorkingSet));
        launcherPrivate.push_back(double(ours.privateBytes));
        baselinePrivate.push_back(double(base.privateBytes));
    }

    // Both draw into the launcher window's own client area, as a repaint does.
    Win32LauncherShell shell;  // never pressed
    HWND window = LauncherWindow::Create(GetModuleHandleW(nullptr), shell);
    LauncherWindow::Show(window);
    HDC target = GetDC(window);
    const int pictureWidth = LauncherForm().pictureWidthPixels, pictureHeight = LauncherForm().pictureHeightPixels;
    const UniqueMemoryDc source(CreateCompatibleDC(target));
    const UniqueBitmap sourceBitmap(CreateCompatibleBitmap(target, pictureWidth, pictureHeight));
    const Selection sourceSelection = Select(source.get(), sourceBitmap.get());
    const auto paint = TimeDrawing(runs, 200, [&] { SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(target), PRF_CLIENT); });
    const auto blit = TimeDrawing(runs, 200, [&] { BitBlt(target, 0, 0, pictureWidth, pictureHeight, source.get(), 0, 0, SRCCOPY); });
    ReleaseDC(window, target);
    DestroyWindow(window);

    const auto decode = TimeDrawing(runs, 1, [] { LoadWelcomePicture(); });
    const auto com = TimeDrawing(1, 1, [] { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); });

    HANDLE file = CreateFileW(Beside(L"Project1.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    CloseHandle(file);

    const Stats start = Summarise(launcherStart), startBase = Summarise(baselineStart);
    const Stats paintStats = Summarise(paint), blitStats = Summarise(blit);
    const Stats peak = Summarise(launcherPeak), peakBase = Summarise(baselinePeak);
    const Stats priv = Summarise(launcherPrivate), privBase = Summarise(baselinePrivate);
    constexpr double kMiB = 1.0 / (1024 * 1024);
    std::printf("Median of %d runs (min-max); ratio = launcher / baseline.\n\n", runs);
    std::printf("| measure | launcher | baseline | ratio | target | |\n|---|---|---|---|---|---|\n");
    Row("start-up to first full paint", "ms", 1000, start, startBase, "<= 1.10x", start.median <= 1.10 * startBase.median);
    Row("full repaint vs BitBlt of the picture", "ms", 1000, paintStats, blitStats, "<= 1.25x", paintStats.median <= 1.25 * blitStats.median);
    Row("peak working set", "MiB", kMiB, peak, peakBase, "<= baseline + 1.5 MiB", peak.median <= peakBase.median + 1.5 / kMiB);
    Row("private bytes", "MiB", kMiB, priv, privBase, "<= baseline + 1.5 MiB", priv.median <= privBase.median + 1.5 / kMiB);
    std::printf("| picture decode at start-up | %.2f ms | | | | |\n", Summarise(decode).median * 1000);
    std::printf("| COM initialisation at start-up | %.2f ms | | | | |\n", com[0] * 1000);
    std::printf("| Project1.exe size | %lld bytes | | | <= 131072 bytes | %s |\n", size.QuadPart,
                size.QuadPart <= 131072 ? "met" : "MISSED");
    return 0;
}
