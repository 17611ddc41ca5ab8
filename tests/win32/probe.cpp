#include "probe.h"

#include <windows.h>

#include <fstream>
#include <string>

#include "launch/launch_choice.h"
#include "support.h"
#include "window/ansi_win32.h"
#include "window/dll_search_win32.h"
#include "window/launcher_shell_win32.h"

namespace {

void WriteText(const wchar_t* file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// The real Windows shell, with the result of the one shell request written down first.
class ResultRecordingShell : public Win32LauncherShell {
public:
    explicit ResultRecordingShell(const wchar_t* resultFile) : resultFile_(resultFile) {}
    std::intptr_t ShellLaunch(const LaunchRequest& request) override
    {
        const std::intptr_t result = Win32LauncherShell::ShellLaunch(request);
        WriteText(resultFile_, std::to_string(result));
        return result;
    }

private:
    const wchar_t* resultFile_;
};

int ReportDirectory(const wchar_t* out)
{
    RestrictDllSearchToSystem();
    const std::optional<std::wstring> directory = Win32LauncherShell().LauncherDirectory();
    WriteText(out, directory ? Utf8(*directory) : "<none>");
    return 0;
}

int Launch(const wchar_t* control, const wchar_t* out)
{
    RestrictDllSearchToSystem();
    const LanguageChoice* choice = ChoiceForControl(control);
    if (!choice)
        return 2;
    // The launch needs an owner window; a hidden one stands in for the launcher's.
    HWND owner = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ResultRecordingShell shell(out);
    shell.SetOwner(owner);
    LaunchChoice(*choice, shell, ToAnsiCodePage);
    return 3;  // not reached: the launch ends the program
}

}  // namespace

bool RunProbe(int argc, wchar_t** argv, int& exitCode)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--report-directory" && argc == 3)
        exitCode = ReportDirectory(argv[2]);
    else if (mode == L"--launch" && argc == 4)
        exitCode = Launch(argv[2], argv[3]);
    else if (mode == L"--load-shell32-plainly" && argc == 2)
        exitCode = LoadLibraryW(L"shell32.dll") ? 0 : 1;
    else
        return false;
    return true;
}
