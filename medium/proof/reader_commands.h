// The commands of medium_reader, each in a file of its own (medium_reader.cpp lists them).
#pragma once

#include "image.h"
#include "record.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace proof {

// The bounds past which a file at a medium's root is not what make-medium writes; and an image
// larger than any disc holds (a four-layer BD XL, 128 GiB).
inline constexpr std::uint64_t launcherBytesAtMost = 4 * 1024 * 1024;
inline constexpr std::uint64_t autorunBytesAtMost = 4096;
inline constexpr std::uint64_t mediumBytesAtMost = std::uint64_t{128} * 1024 * 1024 * 1024;

// IMAGE's tree of NAMES; different when libisofs stops at anything but the memory it is given, of
// which it cannot tell.
std::unique_ptr<LoadedImage> LoadedOrRefused(const std::string& image, Names names, const std::string& shown);

// The record at PATH, read by its grammar; cannot tell, ending the run, when it is not one
// make-medium writes. Its mastering tool's packages and versions, as they may be shown.
BuildRecord RecordOf(const std::string& path, const RecordTexts& texts);
std::string MasteringShown(const BuildRecord& record);

int ReadImage(const std::string& image, const std::string& work);
int ReadTree(const std::string& tree, const std::string& work);
int ReadMediumRoot(const std::string& medium, const std::string& work, bool image, const std::vector<std::string>& rootNames);
// How many bytes the files of a tree's languages hold.
std::uint64_t TreeBytes(const std::string& tree, const std::string& shown);
int Extract(const std::string& image, const std::string& tree);
int Families(const std::string& image, const std::string& families);
int Record(const std::string& record, const RecordTexts& texts);
int PublishedSums(const std::string& medium, const std::string& work, bool image);
int Signature(const std::string& launcher, const std::string& signer);
int Mastering(const std::string& record, const RecordTexts& texts, const std::string& versions, const std::string& where,
              const std::vector<std::string>& patterns);
int Toolchain(const std::string& record, const RecordTexts& texts, const std::string& versions,
              const std::vector<std::string>& packages);
int Compare(const std::string& first, const std::string& second, const std::string& what);

}  // namespace proof
