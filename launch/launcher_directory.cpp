#include "launcher_directory.h"

namespace {
bool IsBareDrive(std::wstring_view text)
{
    return text.size() == 2 && text[1] == L':' &&
           ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
}
}  // namespace

std::wstring LauncherDirectoryFromPath(std::wstring_view executablePath)
{
    const auto cut = executablePath.rfind(L'\\');
    if (cut == std::wstring_view::npos)
        return {};
    const std::wstring_view folder = executablePath.substr(0, cut);
    return std::wstring(IsBareDrive(folder) ? executablePath.substr(0, cut + 1) : folder);
}
