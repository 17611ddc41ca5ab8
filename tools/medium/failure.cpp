// How the medium's files readers give up: an exception that main turns into a line and status 1.

#include "commands.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace medium {

void Fail(const std::string& why)
{
    throw std::runtime_error(why);
}

std::string Why()
{
    return std::strerror(errno);
}

}  // namespace medium
