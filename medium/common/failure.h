// How the medium's tools give up: an exception that main turns into a line and its exit status.
#pragma once

#include <string>

namespace medium {

[[noreturn]] void Fail(const std::string& why);
// What errno says, in words.
std::string Why();

}  // namespace medium
