// load_hook.dll: a WH_CALLWNDPROC hook that the tests set on the launcher's window thread, so that
// the launcher loads a DLL on that thread, with its own search, when a test asks (load_hook.h).
// A thread of the test's made in the launcher (CreateRemoteThread) would do the same, but Wine
// has the launcher make such a thread itself, from a signal handler wherever its thread was
// interrupted: inside the C library's allocator now and then, which then aborts, and the test
// waits for that thread for ever. A hook runs where the thread takes its messages.

#include <windows.h>

#include <iterator>

#include "load_hook.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK LoadOnRequest(int code, WPARAM wParam, LPARAM lParam)
{
    static const UINT request = RegisterWindowMessageW(kLoadRequestMessage);
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    wchar_t name[256];
    if (code == HC_ACTION && call->message == request &&
        GlobalGetAtomNameW(static_cast<ATOM>(call->wParam), name, static_cast<int>(std::size(name))))
        ReplyMessage(LoadLibraryW(name) ? kLoaded : kRefused);  // the window itself answers with 0
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
