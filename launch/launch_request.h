#pragma once
// The one request the launcher makes of the Windows shell, and how it is built.

#include <cstdint>
#include <string>
#include <string_view>

#include "language_choice.h"

// A window handle as the platform-free code carries it: opaque, passed through unchanged.
using WindowHandle = std::uintptr_t;

// The platform's SW_SHOW. The setup program is shown as it is, not restored (SW_SHOWNORMAL, 1).
inline constexpr int kShowCommandShow = 5;

// Fields in the order the shell call takes them. The strings are 8-bit, in the system's ANSI
// code page, because the request goes through the ANSI form of the shell call.
struct LaunchRequest {
    WindowHandle ownerWindow = 0;
    std::string operation;
    std::string file;
    std::string parameters;
    std::string directory;
    int showCommand = 0;

    bool operator==(const LaunchRequest&) const = default;
};

// Converts a Unicode text to the system's ANSI code page. Injected, because the code page is
// the platform's: Windows supplies the real one, tests a deterministic one.
using AnsiConverter = std::string (*)(std::wstring_view text);

// The launcher directory immediately followed by the choice's suffix: no separator added or
// removed, nothing normalised, quoted or tested for existence.
std::wstring ComposeSetupPath(std::wstring_view launcherDirectory, const LanguageChoice& choice);

// Parameters and directory are empty strings, not absent ones: the setup program starts with no
// arguments, in the launcher's own current directory.
LaunchRequest BuildLaunchRequest(WindowHandle ownerWindow, std::wstring_view setupPath, AnsiConverter toAnsi);
