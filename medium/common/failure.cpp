#include "failure.h"

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
