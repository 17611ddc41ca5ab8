// medium_files follow: the image as xorriso writes it into its file, read behind it from the page
// cache and summed, so that the sum is ready when the image is; how far it is, for a write that
// takes a while.

#include "commands.h"
#include "fd.h"
#include "sha256.h"
#include "shown.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace medium {
namespace {

// On a terminal, in place a few times a second; in a log, a line every half minute. Nothing for a
// write that ends within two seconds. The total is an estimate until the end.
class Progress {
public:
    Progress(std::string label, std::uint64_t total) : label_(std::move(label)), total_(total), terminal_(isatty(2)) {}

    void At(std::uint64_t done)
    {
        const auto now = std::chrono::steady_clock::now();
        if (label_.empty() || now < next_ || now - start_ < std::chrono::seconds(2))
            return;
        Show(std::min<std::uint64_t>(99, total_ ? done * 100 / total_ : 0), done);
        next_ = now + (terminal_ ? std::chrono::milliseconds(250) : std::chrono::seconds(30));
        shown_ = true;
    }
    void End(std::uint64_t done)
    {
        if (shown_)
            Show(100, done);
        if (shown_ && terminal_)
            std::fputc('\n', stderr);
    }

private:
    void Show(std::uint64_t percent, std::uint64_t done)
    {
        std::fprintf(stderr, "%s%s: %llu%% (%llu MB)%s", terminal_ ? "\r" : "", label_.c_str(),
                     static_cast<unsigned long long>(percent), static_cast<unsigned long long>(done / 1000000),
                     terminal_ ? "" : "\n");
        std::fflush(stderr);
    }

    std::string label_;
    std::uint64_t total_;
    bool terminal_, shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), next_ = start_;
};

// Whether process PID is still at work: neither gone nor ended and waiting to be reaped.
bool Running(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    // The state follows the command's name, which is in parentheses and may hold any of them.
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

void Pause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

int Follow(const std::string& path, pid_t writer, std::uint64_t total, const std::string& label)
{
    Fd file;
    while (!(file = Fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)))) {
        if (!Running(writer))
            Fail(Shown(path) + " was never written");
        Pause();
    }
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 digest;
    Progress progress(label, total);
    std::vector<char> buffer(bufferBytes);
    std::uint64_t done = 0;
    for (;;) {
        // Asked before the reading: once the writer has ended, what is read to the end is all of it.
        const bool writing = Running(writer);
        ssize_t got;
        while ((got = read(file.get(), buffer.data(), buffer.size())) > 0) {
            digest.Add(buffer.data(), static_cast<std::size_t>(got));
            done += static_cast<std::uint64_t>(got);
            progress.At(done);
        }
        if (got < 0)
            Fail(Shown(path) + " cannot be read: " + Why());
        if (!writing)
            break;
        Pause();
    }
    progress.End(done);
    std::printf("%s\n", digest.Hex().c_str());
    return 0;
}

}  // namespace medium
