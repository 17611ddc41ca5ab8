#pragma once
// The platform operations that a launch needs. The Windows window supplies them; tests supply a
// recording fake.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "launch_request.h"

class LauncherShell {
public:
    virtual ~LauncherShell() = default;

    // The main window, owner of anything the shell shows; empty when it cannot be had.
    virtual std::optional<WindowHandle> OwnerWindow() = 0;
    // The folder of the running launcher; empty when it cannot be had.
    virtual std::optional<std::wstring> LauncherDirectory() = 0;
    // Hands the request to the shell and returns the shell's result (above 32 is success).
    virtual std::intptr_t ShellLaunch(const LaunchRequest& request) = 0;
    // Ends the program at once. On Windows it does not return.
    virtual void EndProgram() = 0;
    // Shows the message in a box captioned "Project1", then ends the program. On Windows it does
    // not return.
    virtual void ReportFatalError(std::wstring_view message) = 0;
};
