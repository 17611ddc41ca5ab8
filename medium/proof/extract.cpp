// medium_reader extract: every folder and file of an image, as Linux reads it (Rock Ridge), into a
// tree of this run's own, for a make-medium that writes an image again only from a tree. Files
// that share an extent hold the same bytes (make-medium stores identical files once): each such
// extent is taken out once and its other files linked to it, so that a folder given for three
// languages costs its size once.

#include "reader_commands.h"
#include "image.h"
#include "path_parts.h"
#include "shown.h"
#include "verdict.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <map>

namespace proof {

int Extract(const std::string& path, const std::string& tree)
{
    const std::string shown = ShownName(path);
    const auto image = LoadedOrRefused(path, Names::RockRidge, shown);
    // Each part of each path a name of its own, never one that leads out of TREE.
    for (const ImageEntry& entry : image->Entries())
        if (!medium::PartsAreNames(std::string_view(entry.path).substr(1)))
            Different(shown + " holds a file or folder named '" + medium::Shown(entry.path) +
                      "', which no file system holds and make-medium refuses");
    // Its files taken out, and the image written again beside them, with a GiB to spare.
    std::map<std::uint32_t, std::string> firstOf;
    std::uint64_t needs = 0;
    for (const ImageEntry& entry : image->Entries())
        if (entry.kind == ImageEntry::Kind::File && entry.size > 0 && firstOf.emplace(entry.block, entry.path).second)
            needs += entry.size;
    struct stat status {};
    struct statvfs space {};
    stat(path.c_str(), &status);
    if (mkdir(tree.c_str(), 0755) != 0 || statvfs(tree.c_str(), &space) != 0)
        CannotTell("the files of " + shown + " cannot be taken out here");
    const std::uint64_t free = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
    if (needs + static_cast<std::uint64_t>(status.st_size) + (std::uint64_t{1} << 30) > free)
        CannotTell("the files of " + shown + " would take " + std::to_string(needs) + " bytes taken out, and the image written again " +
                   std::to_string(status.st_size) + " more, and this machine has " + std::to_string(free) +
                   " free beside a GiB to spare");
    firstOf.clear();
    for (const ImageEntry& entry : image->Entries()) {
        const std::string out = tree + entry.path;
        if (entry.kind == ImageEntry::Kind::Folder) {
            if (mkdir(out.c_str(), 0755) != 0)
                CannotTell("the files of " + shown + " cannot be taken out: " + medium::Shown(entry.path));
            continue;
        }
        // Empty files share no content: make-medium never links them.
        if (entry.size > 0) {
            const auto [first, isFirst] = firstOf.emplace(entry.block, entry.path);
            if (!isFirst && link((tree + first->second).c_str(), out.c_str()) == 0)
                continue;
        }
        if (!image->Copy(entry, out, entry.size))
            CannotTell("the files of " + shown + " cannot be taken out: " + medium::Shown(entry.path));
    }
    return 0;
}

}  // namespace proof
