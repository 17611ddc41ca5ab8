// The commands of medium_files, each in a file of its own, and what they share.
#pragma once

#include "failure.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace medium {

// One language's installer, as make-medium gives it: LANGUAGE=PATH.
struct Installer {
    std::string language, path;
};

// ISO 9660 as Windows reads it, and FAT32 on a USB stick, hold files below this size.
inline constexpr std::uint64_t fourGiB = std::uint64_t{1} << 32;
// What a file that is not a regular file is, in words: "a symbolic link", "a folder", "a device", ...
std::string KindOf(mode_t mode);
// The length of "D:\LANGUAGE" from the drive's root.
std::size_t TopUnits(const Installer& installer);

int Check(const std::vector<Installer>& installers);
int Lay(const std::string& stage, const std::vector<Installer>& installers);
int Sum(const std::string& stage, bool sharedOnly, const std::string& under);
int SumsOf(const std::string& tree);
int StoreOnce(const std::string& stage);
int Follow(const std::string& path, pid_t writer, std::uint64_t total, const std::string& label);

}  // namespace medium
