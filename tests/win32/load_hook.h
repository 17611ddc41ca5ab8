#pragma once
// What the tests and load_hook.dll agree on: the message registered by this name, sent to a window
// of a thread that the hook is set on with a global atom of a DLL's name or path as its wParam, has
// that thread load the DLL, and the answer says whether it did. A window without the hook answers
// the message with 0. (An atom, not WM_COPYDATA: Wine hands a hook another process's message
// before it copies the data over.)

#include <windows.h>

constexpr wchar_t kLoadRequestMessage[] = L"TolvanixLoadRequest";
constexpr LRESULT kLoaded = 2, kRefused = 1;
