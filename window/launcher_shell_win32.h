#pragma once
#include <windows.h>

#include "dll_search_win32.h"
#include "launcher_shell.h"

// The launch's platform operations on Windows. The window tells it its handle once it exists.
class Win32LauncherShell : public LauncherShell {
public:
    // `lookup` finds kernel32's exports: the real ones, or in tests an older Windows's.
    explicit Win32LauncherShell(Kernel32Lookup lookup) : lookup_(lookup) {}
    void SetOwner(HWND window) { owner_ = window; }

    std::optional<WindowHandle> OwnerWindow() override;
    std::optional<std::wstring> LauncherDirectory() override;
    std::intptr_t ShellLaunch(const LaunchRequest& request) override;
    [[noreturn]] void EndProgram() final;
    [[noreturn]] void ReportFatalError(std::wstring_view message) final;

private:
    using ShellExecuteAFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    ShellExecuteAFunction BoundShellExecuteA();

    HWND owner_ = nullptr;
    Kernel32Lookup lookup_;
    ShellExecuteAFunction shellExecute_ = nullptr;  // bound at the first launch, kept for any later one
};
