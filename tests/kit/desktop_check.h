#pragma once
// The desktop the kit runs its tests on: whether it can drive it at all, and which windows appear
// on it during a test that the test does not expect.

#include <windows.h>

#include <string>
#include <vector>

// Empty when a window of the kit's own is shown, read back from the screen and takes a click the
// kit sends; else why not. Hosted runners may give a session whose windows get no input and
// whose screen reads back black, or a front held by a window of their own.
std::string WhyTheDesktopCannotBeDriven();

// The top-level windows shown while one test runs that the test does not expect. It expects the
// windows of its own process, and in a process it started the launcher's window, message boxes
// (which the tests answer) and tooltips. Any other is named: one of a process it did not start
// (the compatibility assistant, an error report), or another one in a process it started (the
// shell shows its security warning in the process that asked it to open a file).
class WindowWatch {
public:
    // Before the test starts: what is shown now is not the test's.
    void Begin();
    // While it runs, and once after it ended.
    void Look(DWORD testProcess);
    // Each window it did not expect, as class, title and process. Those of processes it started
    // are closed, so that they stand in no later test's way.
    std::vector<std::string> End(DWORD testProcess);

private:
    struct Unexpected {
        HWND window;
        bool started;
        std::string description;
    };
    std::vector<HWND> seen_;
    std::vector<DWORD> started_;
    std::vector<Unexpected> unexpected_;
};
