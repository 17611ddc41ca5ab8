#include "probe.h"

#include <windows.h>

#include <fstream>
#include <string>
#include <string_view>

#include "launch/launch_request.h"
#include "support.h"
#include "window/ansi_win32.h"
#include "window/dll_search_win32.h"
#include "window/launcher_shell_win32.h"

namespace {

void WriteText(const wchar_t* file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

int ReportDirectory(const wchar_t* out)
{
    const std::optional<std::wstring> directory = Win32LauncherShell().LauncherDirectory();
    WriteText(out, directory ? Utf8(*directory) : "<none>");
    return 0;
}

// kernel32 as on a Windows that has neither the search flags nor SetDefaultDllDirectories.
FARPROC OldKernel32Export(const char* name)
{
    return std::string_view(name) == "SetDefaultDllDirectories" ? nullptr : Kernel32Export(name);
}

int Launch(const wchar_t* control, const wchar_t* out, Kernel32Lookup lookup)
{
    const LanguageChoice* choice = ChoiceForControl(control);
    if (!choice)
        return 2;
    // The launch needs an owner window; a hidden one stands in for the launcher's.
    HWND owner = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Win32LauncherShell shell(lookup);
    shell.SetOwner(owner);
    // The Win32 half of a launch, step by step, so that the shell's answer is written down
    // before the program ends.
    const std::optional<std::wstring> directory = shell.LauncherDirectory();
    if (!directory)
        return 4;
    const LaunchRequest request =
        BuildLaunchRequest(reinterpret_cast<WindowHandle>(owner), ComposeSetupPath(*directory, *choice), ToAnsiCodePage);
    WriteText(out, std::to_string(shell.ShellLaunch(request)));
    shell.EndProgram();
}

}  // namespace

bool RunProbe(int argc, wchar_t** argv, int& exitCode)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--report-directory" && argc == 3) {
        exitCode = ReportDirectory(argv[2]);
    } else if (mode == L"--launch" && argc == 4) {
        exitCode = Launch(argv[2], argv[3], Kernel32Export);
    } else if (mode == L"--launch-on-old-windows" && argc == 4) {
        exitCode = Launch(argv[2], argv[3], OldKernel32Export);
    } else if (mode == L"--load-shell32-plainly" && argc == 2) {
        exitCode = LoadLibraryW(L"shell32.dll") ? 0 : 1;
    } else if (mode == L"--restrict-then-load-shell32-plainly" && argc == 2) {
        RestrictDllSearchToSystem();
        exitCode = LoadLibraryW(L"shell32.dll") ? 0 : 1;
    } else {
        return false;
    }
    return true;
}
