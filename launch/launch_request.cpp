#include "launch_request.h"

std::wstring ComposeSetupPath(std::wstring_view launcherDirectory, const LanguageChoice& choice)
{
    std::wstring path(launcherDirectory);
    path += choice.pathSuffix;
    return path;
}

LaunchRequest BuildLaunchRequest(WindowHandle ownerWindow, std::wstring_view setupPath, AnsiConverter toAnsi)
{
    return LaunchRequest{
        .ownerWindow = ownerWindow,
        .operation = toAnsi(L"open"),
        .file = toAnsi(setupPath),
        .parameters = toAnsi(L""),
        .directory = toAnsi(L""),
        .showCommand = kShowCommandShow,
    };
}
