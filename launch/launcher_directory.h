#pragma once
#include <string>
#include <string_view>

// The folder of the running executable, from its full path: the path cut at its last
// backslash. After a bare drive ("E:") the backslash stays, because "E:" alone means the
// drive's current folder, not its root; so only a launcher at a drive root gets a trailing
// backslash, and its setup paths carry two in a row ("E:\\French\setup.exe"), which the shell
// accepts. Empty when the path holds no backslash at all.
std::wstring LauncherDirectoryFromPath(std::wstring_view executablePath);
