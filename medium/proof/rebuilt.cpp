// medium_reader mastering, toolchain and compare: what the rebuild is held to. The versions are
// dpkg's of the system that rebuilt ("STATE PACKAGE VERSION" a line, as dpkg-query writes them).

#include "reader_commands.h"
#include "record.h"
#include "shown.h"
#include "verdict.h"

#include <fnmatch.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace proof {

namespace {

// The installed packages among VERSIONS, by name.
std::map<std::string, std::string> Installed(const std::string& versions)
{
    std::map<std::string, std::string> installed;
    std::ifstream in(versions);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string state, package, version;
        if (fields >> state >> package >> version && state == "ii")
            installed[package] = version;
    }
    return installed;
}

}  // namespace

int Mastering(const std::string& recordPath, const RecordTexts& texts, const std::string& versions, const std::string& where,
              const std::vector<std::string>& patterns)
{
    const BuildRecord record = RecordOf(recordPath, texts);
    if (record.mastering.empty())
        CannotTell("the build record is not one that make-medium writes (line " + std::to_string(record.lines + 1) +
                   "): it names no mastering tool");
    BuildRecord rebuilt;
    for (const auto& [package, version] : Installed(versions))
        for (const std::string& pattern : patterns)
            if (fnmatch(pattern.c_str(), package.c_str(), 0) == 0)
                rebuilt.mastering[package] = version;
    if (rebuilt.mastering != record.mastering)
        CannotTell((where == "here" ? "this machine's" : "the fresh Debian's") + std::string(" mastering tool (") +
                   MasteringShown(rebuilt) + ") is not the one the record names (" + medium::Shown(MasteringShown(record)) +
                   "): the image cannot be written again the same" + (where == "here" ? " here (verify without --here)" : ""));
    return 0;
}

int Toolchain(const std::string& recordPath, const RecordTexts& texts, const std::string& versions,
              const std::vector<std::string>& packages)
{
    const BuildRecord record = RecordOf(recordPath, texts);
    const auto installed = Installed(versions);
    std::string lacking;
    for (const std::string& package : packages) {
        const auto recorded = record.packages.find(package);
        if (recorded == record.packages.end() || recorded->second == "not installed")
            continue;
        const auto has = installed.find(package);
        if (has == installed.end() || has->second != recorded->second)
            lacking += (lacking.empty() ? "" : ", ") + package + " " + medium::Shown(recorded->second) + " (it has " +
                       (has == installed.end() ? "none" : has->second) + ")";
    }
    Say(lacking.empty() ? "the rebuild's system has every recorded package version: the toolchain does not explain the difference"
                        : "the rebuild's system lacks these recorded versions: " + lacking);
    if (record.tree == TreeState::Uncommitted)
        Say("the record says the launcher was built from a tree with uncommitted changes: they may explain the difference");
    return 0;
}

int Compare(const std::string& first, const std::string& second, const std::string& what)
{
    std::ifstream a(first, std::ios::binary), b(second, std::ios::binary);
    if (!a || !b)
        CannotTell("the files to compare cannot be read");
    std::vector<char> left(1 << 20), right(1 << 20);
    std::uint64_t at = 0, differing = 0, firstDifference = 0, sizeA = 0, sizeB = 0;
    bool differ = false;
    while (a || b) {
        a.read(left.data(), static_cast<std::streamsize>(left.size()));
        b.read(right.data(), static_cast<std::streamsize>(right.size()));
        const auto gotA = static_cast<std::uint64_t>(a.gcount()), gotB = static_cast<std::uint64_t>(b.gcount());
        sizeA += gotA, sizeB += gotB;
        const std::uint64_t shared = std::min(gotA, gotB);
        for (std::uint64_t i = 0; i < shared; ++i)
            if (left[i] != right[i]) {
                if (!differ)
                    firstDifference = at + i;
                differ = true;
                ++differing;
            }
        at += shared;
        if (gotA == 0 && gotB == 0)
            break;
    }
    // Of two lengths, where the shorter ends is where they part, when all they share is the same.
    if (!differ && sizeA == sizeB)
        return 0;
    if (!differ)
        firstDifference = std::min(sizeA, sizeB);
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%llx", static_cast<unsigned long long>(firstDifference));
    Different(what + ": first at offset " + offset + " (" + std::to_string(firstDifference) + "), " +
              std::to_string(differing) + " of the bytes they share differ; sizes " + std::to_string(sizeA) + " and " +
              std::to_string(sizeB) + " bytes");
}

}  // namespace proof
