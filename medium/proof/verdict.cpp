#include "verdict.h"

#include "shown.h"

#include <cstdio>
#include <cstdlib>

namespace proof {
namespace {

[[noreturn]] void End(const char* kind, const std::string& words, int status)
{
    std::fflush(stdout);
    std::fprintf(stderr, "verify-medium: %s: %s\n", kind, words.c_str());
    std::exit(status);
}

}  // namespace

std::string ShownName(const std::string& path)
{
    return medium::Shown(path.substr(path.find_last_of('/') + 1));
}

void Say(const std::string& words)
{
    std::fprintf(stderr, "verify-medium: %s\n", words.c_str());
}

void Different(const std::string& words)
{
    End("different", words, 1);
}

void CannotTell(const std::string& words)
{
    End("cannot tell", words, 2);
}

}  // namespace proof
