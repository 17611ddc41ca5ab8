#include "layout.h"

#include "folder_walk.h"
#include "sha256.h"
#include "windows_names.h"

#include <map>
#include <stdexcept>

namespace proof {
namespace {

using Kind = ImageEntry::Kind;

// The SHA-256 of FILE's first AT_MOST bytes.
std::string Sha256Of(const LoadedImage& image, const ImageEntry& file, std::uint64_t atMost)
{
    medium::Sha256 digest;
    if (!image.Read(file, atMost, [&](const char* bytes, std::size_t count) { digest.Add(bytes, count); return true; }))
        throw std::runtime_error(file.path + " cannot be read");
    return digest.Hex();
}

}  // namespace

void CheckLanguages(const LoadedImage& image, medium::Problems& problems)
{
    for (const std::string language : {"English", "German", "French"}) {
        const medium::Installer installer{language, language};
        medium::NameRules rules(installer, problems);
        const std::string top = "/" + language + "/";
        // Each folder's names, and how long each path is from the drive's root.
        std::map<std::string, std::vector<std::string>> namesIn;
        std::map<std::string, std::size_t> unitsOf{{"", medium::TopUnits(installer)}};
        bool setup = false;
        std::string tooLong;  // a folder whose path is too long: nothing below it is read
        for (const ImageEntry& entry : image.Entries()) {
            if (entry.path.compare(0, top.size(), top) != 0)
                continue;
            const std::string path = entry.path.substr(top.size());
            if (!tooLong.empty() && path.compare(0, tooLong.size() + 1, tooLong + "/") == 0)
                continue;
            const auto slash = path.find_last_of('/');
            const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
            const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
            namesIn[parent].push_back(name);
            const std::size_t units = unitsOf[parent] + 1 + medium::Units(name);
            unitsOf[path] = units;
            if (!rules.Entry(path, name, units)) {
                tooLong = path;
                continue;
            }
            if (entry.kind == Kind::File && (entry.size >= medium::fourGiB || entry.extents > 1))
                problems.Add(rules.Where(path), medium::Broken::TooLarge, medium::TooLarge(entry.size));
            setup = setup || (parent.empty() && entry.kind == Kind::File && medium::IsSetupName(name) &&
                              medium::RuleBroken(name) == medium::NameRule::None);
        }
        for (const auto& [folder, names] : namesIn)
            rules.Folder(folder, names);
        if (!image.Find("/" + language))
            problems.Add(language, medium::Broken::NoSetup, "is no folder of the image");
        else if (!setup)
            problems.Add(language, medium::Broken::NoSetup, "holds no setup.exe at its top (in any case)");
    }
}

std::vector<std::pair<std::string, std::string>> ContentFamilies(const LoadedImage& image)
{
    // A content's key: its extent, where no other extent has its size; else its size and the sum
    // of its first 64 KiB, and where another extent shares that too, the sum of all of it. Empty
    // files share nothing: make-medium never links them.
    constexpr std::uint64_t head = 64 * 1024;
    std::map<std::uint64_t, std::map<std::uint32_t, const ImageEntry*>> extentsOfSize;
    for (const ImageEntry& entry : image.Entries())
        if (entry.kind == Kind::File && entry.size > 0)
            extentsOfSize[entry.size].emplace(entry.block, &entry);
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::string> keyOf;
    for (const auto& [size, extents] : extentsOfSize) {
        std::map<std::string, std::vector<std::uint32_t>> byHead;
        for (const auto& [block, entry] : extents)
            byHead[extents.size() == 1 ? "" : Sha256Of(image, *entry, head)].push_back(block);
        for (const auto& [headSum, blocks] : byHead)
            for (const std::uint32_t block : blocks)
                keyOf[{block, size}] = std::to_string(size) + ":" +
                                       (blocks.size() == 1 ? headSum + "@" + std::to_string(block)
                                                           : Sha256Of(image, *extents.at(block), size));
    }
    std::map<std::string, std::string> firstOf;
    std::vector<std::pair<std::string, std::string>> families;
    for (const ImageEntry& entry : image.Entries()) {
        if (entry.kind != Kind::File || entry.size == 0)
            continue;
        const auto [first, isFirst] = firstOf.emplace(keyOf.at({entry.block, entry.size}), entry.path);
        if (!isFirst)
            families.emplace_back(entry.path, first->second);
    }
    return families;
}

}  // namespace proof
