// An ISO 9660 image read with libisofs, one of its two trees of names at a time: Rock Ridge's,
// which Linux reads, or Joliet's, which Windows reads. Any warning while reading stops it: no
// image make-medium writes gives one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct Iso_Image;

namespace proof {

enum class Names { RockRidge, Joliet };

struct ImageEntry {
    enum class Kind { Folder, File, Other } kind;
    std::string path;         // from the root, '/' before each name
    std::uint64_t size = 0;   // a file's
    std::uint32_t block = 0;  // where its first extent starts
    int extents = 0;          // how many it has
};

class LoadedImage {
public:
    // IMAGE's tree of NAMES; nothing, and why in WHY, when it cannot be read to its end (EXHAUSTED
    // set when what stopped it is the memory it has).
    static std::unique_ptr<LoadedImage> Load(const std::string& image, Names names, std::string& why,
                                             bool* exhausted = nullptr);
    ~LoadedImage();
    LoadedImage(const LoadedImage&) = delete;
    LoadedImage& operator=(const LoadedImage&) = delete;

    // Every entry, depth first, each folder's names in the order of their bytes.
    const std::vector<ImageEntry>& Entries() const { return entries_; }
    // The entry at PATH, or nothing.
    const ImageEntry* Find(const std::string& path) const;
    // FILE's bytes into OUT (created, never through a link), no more than AT_MOST of them: false
    // when they cannot be read or written.
    bool Copy(const ImageEntry& file, const std::string& out, std::uint64_t atMost) const;
    // FILE's bytes, no more than AT_MOST of them, piece by piece to TAKE: false when they cannot
    // all be read.
    bool Read(const ImageEntry& file, std::uint64_t atMost, const std::function<bool(const char*, std::size_t)>& take) const;

private:
    explicit LoadedImage(Iso_Image* image) : image_(image) {}
    Iso_Image* image_;
    std::vector<ImageEntry> entries_;
};

}  // namespace proof
