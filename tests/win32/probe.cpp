#include "probe.h"

#include <cwchar>
#include <fstream>
#include <string>
#include <string_view>

#include "ansi_win32.h"
#include "launch_request.h"
#include "launcher_shell_win32.h"
#include "support.h"

namespace {

void WriteText(const wchar_t* file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

int ReportDirectory(const wchar_t* out)
{
    const std::optional<std::wstring> directory = Win32LauncherShell(Kernel32Export).LauncherDirectory();
    WriteText(out, directory ? Utf8(*directory) : "<none>");
    return 0;
}

bool NamesShell32(const wchar_t* name)
{
    const size_t length = std::wcslen(name), suffix = std::wcslen(L"shell32.dll");
    return length >= suffix && _wcsicmp(name + length - suffix, L"shell32.dll") == 0;
}

HMODULE WINAPI LoadLibraryExWithoutShell32(LPCWSTR name, HANDLE file, DWORD flags)
{
    if (NamesShell32(name)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryExW(name, file, flags);
}

FARPROC NoShell32Kernel32Export(const char* name)
{
    return std::string_view(name) == "LoadLibraryExW" ? AsExport(LoadLibraryExWithoutShell32) : Kernel32Export(name);
}

Kernel32Lookup WindowsNamed(std::wstring_view name)
{
    if (name == L"this")
        return Kernel32Export;
    if (name == L"old")
        return OldKernel32Export;
    if (name == L"no-shell32")
        return NoShell32Kernel32Export;
    return nullptr;
}

int Launch(Kernel32Lookup windows, const wchar_t* control, const wchar_t* out)
{
    const LanguageChoice* choice = ChoiceForControl(control);
    if (!choice)
        return 2;
    // The launch needs an owner window; a hidden one stands in for the launcher's.
    HWND owner = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Win32LauncherShell shell(windows);
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

int Load(Kernel32Lookup windows, std::wstring_view how, const wchar_t* name)
{
    if (how == L"plainly")
        return LoadLibraryW(name) ? 0 : 1;
    if (how == L"restricted") {
        RestrictDllSearchToSystem(windows);
        return LoadLibraryW(name) ? 0 : 1;
    }
    if (how == L"system")
        return LoadSystemLibrary(name, windows) ? 0 : 1;
    return 2;
}

}  // namespace

bool RunProbe(int argc, wchar_t** argv, int& exitCode)
{
    const std::wstring_view mode = argc > 1 ? argv[1] : L"";
    const Kernel32Lookup windows = argc > 2 ? WindowsNamed(argv[2]) : nullptr;
    if (mode == L"--report-directory" && argc == 3)
        exitCode = ReportDirectory(argv[2]);
    else if (mode == L"--launch" && argc == 5 && windows)
        exitCode = Launch(windows, argv[3], argv[4]);
    else if (mode == L"--load" && argc == 5 && windows)
        exitCode = Load(windows, argv[3], argv[4]);
    else
        return false;
    return true;
}
