// A folder read entry by entry, never through a link: depth first, each folder's names in the
// order of their bytes, so that a walk is the same whatever order the file system lists them in.
#pragma once

#include "fd.h"

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

namespace medium {

struct Entry {
    int folder;               // the open folder that holds it
    const std::string& name;  // its name there
    const std::string& path;  // its path below the walk's top, '/' between names
    std::size_t units;        // the length of its path from the drive's root, as Windows counts it
    const struct stat& status;  // what lstat says of it
};

class Visitor {
public:
    // Before a folder's entries: its path below the top ("" for the top) and its names.
    virtual void Folder(const std::string& path, const std::vector<std::string>& names) = 0;
    // An entry; for a folder to go into, that folder opened.
    virtual Fd Visit(const Entry& entry) = 0;

protected:
    ~Visitor() = default;
};

// Walks the open folder TOP, whose own path from the drive's root is TOP_UNITS long.
void Walk(int top, std::size_t topUnits, Visitor& visitor);

// The length of NAME in UTF-16 units (in bytes when it is not UTF-8).
std::size_t Units(const std::string& name);

}  // namespace medium
