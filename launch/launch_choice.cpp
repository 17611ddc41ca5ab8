#include "launch_choice.h"

void LaunchChoice(const LanguageChoice& choice, LauncherShell& shell, AnsiConverter toAnsi)
{
    const std::optional<WindowHandle> owner = shell.OwnerWindow();
    if (!owner) {
        shell.ReportFatalError(L"The launcher could not find its own window, so no setup program was started.");
        return;
    }
    const std::optional<std::wstring> directory = shell.LauncherDirectory();
    if (!directory) {
        shell.ReportFatalError(L"The launcher could not find the folder it was started from, so no setup program was started.");
        return;
    }
    const std::wstring setupPath = ComposeSetupPath(*directory, choice);
    // The shell shows its own message where the program cannot be started; the launcher adds
    // none, tries no other path and ends either way.
    shell.ShellLaunch(BuildLaunchRequest(*owner, setupPath, toAnsi));
    shell.EndProgram();
}
