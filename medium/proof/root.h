// A medium's root, read from its tree or its image: the names make-medium puts there, each once in
// any case as Windows reads names, and the files verify-medium reads, each taken into the run's
// folder no further than its bound.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace proof {

class LoadedImage;

struct Taken {
    enum class Result { Whole, Missing, Twice, NotAFile, Over, Unreadable } result;
    std::string kind;  // what it is instead of a file, in words ("a symbolic link", "a folder", ...)
};

class MediumRoot {
public:
    virtual ~MediumRoot() = default;
    // Each name at the root, and whether it is a folder.
    virtual std::vector<std::pair<std::string, bool>> Names() const = 0;
    // The file whose name is NAME in any case, into OUT: at most BOUND bytes and one more.
    Taken Take(const std::string& name, const std::string& out, std::uint64_t bound) const;

protected:
    // The file of that very name.
    virtual Taken TakeNamed(const std::string& name, const std::string& out, std::uint64_t bound) const = 0;
};

// A tree on disk, never read through a link; an image's tree of Rock Ridge names.
std::unique_ptr<MediumRoot> TreeRoot(const std::string& tree);
std::unique_ptr<MediumRoot> ImageRoot(const LoadedImage& image);

// The first name at ROOT that is none of NAMES nor Windows' own folder of a USB stick, or one of
// them a second time in any case, or that folder not as a folder: empty when there is none. In
// WHY, what is wrong with it.
std::string StrayName(const MediumRoot& root, const std::vector<std::string>& names, std::string& why);

}  // namespace proof
