// medium_files follow: the image as xorriso writes it into its file, read behind it from the page
// cache and summed, so that the sum is ready when the image is; how far it is, for a write that
// takes a while.

#include "commands.h"
#include "fd.h"
#include "sha256.h"
#include "shown.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// The writer, held by a pidfd, which no later process can take the place of once it is reaped; by
// its /proc entry on a kernel without pidfds (before 5.3).
class Writer {
public:
    explicit Writer(pid_t pid) : pid_(pid), fd_(static_cast<int>(syscall(SYS_pidfd_open, pid, 0))) { gone_ = !fd_ && errno == ESRCH; }

    // Whether it is still at work: neither gone nor ended and waiting to be reaped.
    bool Running() const
    {
        if (gone_)
            return false;
        if (fd_) {
            pollfd ended{fd_.get(), POLLIN, 0};
            return poll(&ended, 1, 0) == 0;
        }
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            return false;
        // The state follows the command's name, which is in parentheses and may hold any of them.
        const auto close = line.rfind(')');
        return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
    }

private:
    pid_t pid_;
    Fd fd_;
    bool gone_;
};

// The descriptors and the first tables of an image, which a writer that went back would rewrite.
constexpr std::size_t headBytes = 64 * 1024;

void Pause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

int Follow(const std::string& path, pid_t writerPid, std::uint64_t total, const std::string& label)
{
    const Writer writer(writerPid);
    Fd file;
    while (!(file = Fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)))) {
        if (!writer.Running())
            Fail(Shown(path) + " was never written");
        Pause();
    }
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 digest;
    Progress progress(label, total);
    std::vector<char> buffer(bufferBytes), head;
    std::uint64_t done = 0;
    for (;;) {
        // Asked before the reading: once the writer has ended, what is read to the end is all of it.
        const bool writing = writer.Running();
        ssize_t got;
        while ((got = read(file.get(), buffer.data(), buffer.size())) > 0) {
            digest.Add(buffer.data(), static_cast<std::size_t>(got));
            if (head.size() < headBytes)
                head.insert(head.end(), buffer.data(), buffer.data() + std::min<std::size_t>(static_cast<std::size_t>(got), headBytes - head.size()));
            done += static_cast<std::uint64_t>(got);
            progress.At(done);
        }
        if (got < 0)
            Fail(Shown(path) + " cannot be read: " + Why());
        if (!writing)
            break;
        Pause();
    }
    // xorriso writes an image from its start to its end, once; were it ever to go back, to its
    // descriptors, the sum would be of bytes the image no longer holds.
    struct stat written {};
    std::vector<char> again(head.size());
    if (fstat(file.get(), &written) != 0 || static_cast<std::uint64_t>(written.st_size) != done ||
        pread(file.get(), again.data(), again.size(), 0) != static_cast<ssize_t>(again.size()) || again != head)
        Fail(Shown(path) + " changed behind its reading: it was not written from its start to its end once");
    progress.End(done);
    std::printf("%s\n", digest.Hex().c_str());
    return 0;
}

}  // namespace medium
