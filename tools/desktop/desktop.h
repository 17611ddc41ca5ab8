#pragma once
// Looking at and driving another program's windows as a person would: waiting for its window,
// clicking and pressing keys through the system's input queue. The tests, the demonstration and
// the benchmarks all drive the launcher through these.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

// Polls until the condition holds; false after the timeout. Waits are for conditions, never for
// fixed times: the machine may be slow.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 60000);

// A top-level window of the process (any process for 0) with this class and caption (either may
// be null for any).
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* caption);

// The control that has the keyboard focus on the window's thread.
HWND FocusOf(HWND window);

// The window captioned so, once it is ready for input: visible, in front, and with one of its
// controls focused (the focus passes through the window itself on its way to a control). Null
// when none is within the timeout.
HWND WaitForReadyWindow(DWORD processId, const wchar_t* caption, DWORD timeoutMs = 60000);

// A left click at a point of the screen, or in the middle of a window. False when the input was
// not taken.
bool ClickAt(POINT screen);
bool ClickOn(HWND window);
// Moves the pointer into a corner of the work area where no window of ours stands, so a window
// that opens under it is not told of a pointer over one of its buttons.
void ParkPointer();

// A key pressed and released, with Shift or Alt held around it.
enum class Modifier { None, Shift, Alt };
void PressKey(WORD key, Modifier modifier = Modifier::None);

std::string Utf8(std::wstring_view text);
