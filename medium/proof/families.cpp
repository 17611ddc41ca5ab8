// medium_reader families: an image's files as make-medium lays them out, for the recorded
// commit's make-medium to write the image again from the image itself (layout.h). What make-medium
// would refuse of a vendor's folder, it never wrote. Each further member of a content's family goes
// into FAMILIES as xorriso's commands that make it a clone of the first, a line each: then an image
// that stores a content twice is not written again the same.

#include "layout.h"
#include "reader_commands.h"
#include "shown.h"
#include "verdict.h"
#include "windows_names.h"

#include <fstream>
#include <stdexcept>

namespace proof {
namespace {

// xorriso's quoting of an argument in a command line it reads: between single quotes, each single
// quote ended, given in double quotes, and begun again.
std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
    return out + "'";
}

}  // namespace

int Families(const std::string& path, const std::string& out)
{
    const std::string shown = ShownName(path);
    const auto image = LoadedOrRefused(path, Names::RockRidge, shown);
    medium::Problems problems;
    CheckLanguages(*image, problems);
    if (problems.Count() > 0)
        Different(shown + " holds what make-medium does not write an image of: " + medium::Shown(problems.Kept().front().path) +
                  ": " + problems.Kept().front().words);
    // What reaches xorriso's command language, quoted: names held above to make-medium's rules, and
    // held again here to what a line of that language can carry.
    for (const ImageEntry& entry : image->Entries())
        if (!medium::Utf16(entry.path) || medium::HoldsControlByte(entry.path))
            Different(shown + " holds what make-medium does not write an image of: " + medium::Shown(entry.path) +
                      ": a name that is not UTF-8 or holds a control character");
    std::ofstream families(out);
    try {
        for (const auto& [file, first] : ContentFamilies(*image))
            families << "-rm " << Quoted(file) << " -- -clone " << Quoted(first) << " " << Quoted(file) << "\n";
    } catch (const std::runtime_error& e) {
        CannotTell(shown + " cannot be read: " + medium::Shown(e.what()));
    }
    if (!families.flush())
        CannotTell("the families of " + shown + "'s files cannot be written");
    return 0;
}

}  // namespace proof
