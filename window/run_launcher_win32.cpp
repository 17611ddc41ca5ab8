#include "run_launcher_win32.h"

#include <objbase.h>

#include "launcher_shell_win32.h"

int RunLauncher(HINSTANCE instance, PictureLoader loadPicture, Kernel32Lookup lookup)
{
    RestrictDllSearchToSystem(lookup);
    // The shell may use COM for what it opens; it expects a single-threaded apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    Win32LauncherShell shell(lookup);
    HWND window = LauncherWindow::Create(instance, shell, loadPicture, lookup);
    if (!window)
        shell.ReportFatalError(L"The launcher could not open its window; its program file may be damaged.");
    shell.SetOwner(window);
    LauncherWindow::Show(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}
