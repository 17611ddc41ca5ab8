#pragma once
#include <windows.h>

#include "launch/launcher_shell.h"

// The launch's platform operations on Windows. The window tells it its handle once it exists.
class Win32LauncherShell : public LauncherShell {
public:
    void SetOwner(HWND window) { owner_ = window; }

    std::optional<WindowHandle> OwnerWindow() override;
    std::optional<std::wstring> LauncherDirectory() override;
    std::intptr_t ShellLaunch(const LaunchRequest& request) override;
    [[noreturn]] void EndProgram() final;
    [[noreturn]] void ReportFatalError(std::wstring_view message) final;

private:
    HWND owner_ = nullptr;
};
