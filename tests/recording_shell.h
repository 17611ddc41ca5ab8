#pragma once
// The launch's platform operations, faked for tests: canned answers, and every call recorded in
// order. EndProgram and ReportFatalError return, as a fake must; a test that needs something to
// happen while the shell is busy sets duringLaunch, which the first request runs.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "launcher_shell.h"

class RecordingShell : public LauncherShell {
public:
    std::optional<WindowHandle> owner = 0xBEEF;
    std::optional<std::wstring> directory = L"D:\\media";
    std::intptr_t result = 42;
    std::function<void()> duringLaunch;

    std::vector<std::string> calls;
    std::vector<LaunchRequest> requests;
    std::wstring fatalMessage;

    std::optional<WindowHandle> OwnerWindow() override
    {
        calls.push_back("OwnerWindow");
        return owner;
    }
    std::optional<std::wstring> LauncherDirectory() override
    {
        calls.push_back("LauncherDirectory");
        return directory;
    }
    std::intptr_t ShellLaunch(const LaunchRequest& request) override
    {
        calls.push_back("ShellLaunch");
        requests.push_back(request);
        if (duringLaunch)
            std::exchange(duringLaunch, nullptr)();
        return result;
    }
    void EndProgram() override { calls.push_back("EndProgram"); }
    void ReportFatalError(std::wstring_view message) override
    {
        calls.push_back("ReportFatalError");
        fatalMessage = message;
    }
};
