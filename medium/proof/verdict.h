// What verify-medium says, in its own voice, on its standard error (which it shows): a remark, or
// the verdict that ends it, with the exit status verify-medium ends with. Everything of the
// medium's in it is shown as shown.h shows it.
#pragma once

#include <string>

namespace proof {

// The medium's name as it may be shown: the last part of PATH, escaped.
std::string ShownName(const std::string& path);

void Say(const std::string& words);
[[noreturn]] void Different(const std::string& words);  // exit status 1
[[noreturn]] void CannotTell(const std::string& words);  // exit status 2

}  // namespace proof
