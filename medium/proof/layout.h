// What make-medium would have laid out to write an image, read back from the image: each
// language's folder held to the rules make-medium reads a vendor's installer by, and the files of
// one content, which make-medium stores once, as families.
#pragma once

#include "image.h"
#include "installer_check.h"

#include <string>
#include <utility>
#include <vector>

namespace proof {

// Each language's folder, as make-medium reads a vendor's installer ("English/..." for a path).
void CheckLanguages(const LoadedImage& image, medium::Problems& problems);

// The files of one content, whatever extents they lie in: for each file but the first of its
// content (in the order of their paths), that file and the first. Empty files share nothing.
// Throws when a file cannot be read.
std::vector<std::pair<std::string, std::string>> ContentFamilies(const LoadedImage& image);

}  // namespace proof
