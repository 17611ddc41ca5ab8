#include "launcher_shell_win32.h"

#include <shellapi.h>

#include "launcher_directory.h"
#include "module_path_win32.h"

// shell32 is bound by name at the first launch, never imported: the program starts without it,
// and it is taken from the system folder only, never from beside the launcher.
Win32LauncherShell::ShellExecuteAFunction Win32LauncherShell::BoundShellExecuteA()
{
    if (!shellExecute_) {
        if (HMODULE shell32 = LoadSystemLibrary(L"shell32.dll", lookup_))
            shellExecute_ = FunctionOf<ShellExecuteAFunction>(GetProcAddress(shell32, "ShellExecuteA"));
    }
    return shellExecute_;
}

std::optional<WindowHandle> Win32LauncherShell::OwnerWindow()
{
    if (!owner_ || !IsWindow(owner_))
        return std::nullopt;
    return reinterpret_cast<WindowHandle>(owner_);
}

std::optional<std::wstring> Win32LauncherShell::LauncherDirectory()
{
    const std::optional<std::wstring> path = ExecutablePath();
    if (!path)
        return std::nullopt;
    std::wstring directory = LauncherDirectoryFromPath(*path);
    if (directory.empty())
        return std::nullopt;
    return directory;
}

std::intptr_t Win32LauncherShell::ShellLaunch(const LaunchRequest& request)
{
    const ShellExecuteAFunction shellExecute = BoundShellExecuteA();
    if (!shellExecute) {
        ReportFatalError(L"The Windows shell (ShellExecuteA in shell32.dll) could not be found, "
                         L"so no setup program was started.");
        return SE_ERR_DLLNOTFOUND;
    }
    HINSTANCE result = shellExecute(reinterpret_cast<HWND>(request.ownerWindow), request.operation.c_str(),
                                    request.file.c_str(), request.parameters.c_str(), request.directory.c_str(),
                                    request.showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

void Win32LauncherShell::EndProgram()
{
    // Destroying the window releases what it owns; nothing queued is handled after this.
    if (owner_ && IsWindow(owner_))
        DestroyWindow(owner_);
    ExitProcess(0);
}

void Win32LauncherShell::ReportFatalError(std::wstring_view message)
{
    const std::wstring text(message);
    MessageBoxW(owner_ && IsWindow(owner_) ? owner_ : nullptr, text.c_str(), L"Project1", MB_OK | MB_ICONERROR);
    EndProgram();
}
