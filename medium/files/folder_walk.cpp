#include "folder_walk.h"

#include "shown.h"
#include "windows_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace medium {

std::size_t Units(const std::string& name)
{
    const auto units = Utf16(name);
    return units ? units->size() : name.size();
}

namespace {

std::vector<std::string> SortedNames(int folder, const std::string& path)
{
    const int own = dup(folder);
    DIR* listing = own >= 0 ? fdopendir(own) : nullptr;
    if (!listing) {
        if (own >= 0)
            close(own);
        throw std::runtime_error((path.empty() ? "the folder" : Shown(path)) + " cannot be listed: " + std::strerror(errno));
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(listing))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

void WalkFolder(int folder, const std::string& path, std::size_t units, Visitor& visitor)
{
    const std::vector<std::string> names = SortedNames(folder, path);
    visitor.Folder(path, names);
    for (const std::string& name : names) {
        const std::string below = path.empty() ? name : path + '/' + name;
        struct stat status {};
        if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            throw std::runtime_error(Shown(below) + " went away while it was read");
        const std::size_t length = units + 1 + Units(name);
        Fd inner = visitor.Visit({folder, name, below, length, status});
        if (inner)
            WalkFolder(inner.get(), below, length, visitor);
    }
}

}  // namespace

void Walk(int top, std::size_t topUnits, Visitor& visitor)
{
    WalkFolder(top, "", topUnits, visitor);
}

}  // namespace medium
