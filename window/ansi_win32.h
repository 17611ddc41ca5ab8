#pragma once
#include <string>
#include <string_view>

// The text in the system's ANSI code page. A character the code page lacks becomes the code
// page's default character, never a lookalike: "Ĉd" must not turn into "Cd", a folder that may
// hold somebody else's setup program. The default character cannot stand in a Windows path, so
// such a request fails instead of starting the wrong program.
std::string ToAnsiCodePage(std::wstring_view text);
