#include "launch_choice.h"

void LaunchSequence::LaunchChoice(const LanguageChoice& choice)
{
    if (begun_)
        return;
    begun_ = true;
    const std::optional<WindowHandle> owner = shell_.OwnerWindow();
    if (!owner) {
        shell_.ReportFatalError(L"The launcher could not find its own window, so no setup program was started.");
        return;
    }
    const std::optional<std::wstring> directory = shell_.LauncherDirectory();
    if (!directory) {
        shell_.ReportFatalError(L"The launcher could not find the folder it was started from, so no setup program was started.");
        return;
    }
    const std::wstring setupPath = ComposeSetupPath(*directory, choice);
    // The shell shows its own message where the program cannot be started; the launcher adds
    // none, tries no other path and ends either way.
    shell_.ShellLaunch(BuildLaunchRequest(*owner, setupPath, toAnsi_));
    shell_.EndProgram();
}
