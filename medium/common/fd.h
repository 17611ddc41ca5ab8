// An open file or folder, closed with its owner.
#pragma once

#include "failure.h"
#include "shown.h"

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace medium {

// What the tools read and write a file through at a time.
inline constexpr std::size_t bufferBytes = 1 << 20;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept { std::swap(fd_, other.fd_); return *this; }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// FILE read to its end through BUFFER, each piece handed to TAKE; WHERE names it when it cannot be read.
template <typename Take>
void ReadThrough(const Fd& file, std::vector<char>& buffer, const std::string& where, Take take)
{
    for (;;) {
        const ssize_t got = read(file.get(), buffer.data(), buffer.size());
        if (got < 0)
            Fail(Shown(where) + " cannot be read: " + Why());
        if (got == 0)
            return;
        take(buffer.data(), static_cast<std::size_t>(got));
    }
}

}  // namespace medium
