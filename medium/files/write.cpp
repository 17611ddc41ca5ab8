// medium_files write: the image as xorriso writes it to standard output, into its file and its
// SHA-256 in one pass, the summing in a thread of its own so that the copying keeps pace with
// xorriso; how far it is, for a write that takes a while.

#include "commands.h"
#include "fd.h"
#include "sha256.h"
#include "shown.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
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

// Buffers filled by the copying thread and summed by the summing one, in turn.
class Ring {
public:
    struct Slot {
        std::vector<char> bytes = std::vector<char>(bufferBytes);
        std::size_t count = 0;  // 0: the end
    };
    Slot& Free()  // a slot to fill, once the summing is done with it
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ - summed_ < slots_.size(); });
        return slots_[filled_ % slots_.size()];
    }
    void Filled()
    {
        std::lock_guard lock(mutex_);
        ++filled_;
        changed_.notify_all();
    }
    Slot& Next()  // the next slot to sum, once it is filled
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return summed_ < filled_; });
        return slots_[summed_ % slots_.size()];
    }
    void Summed()
    {
        std::lock_guard lock(mutex_);
        ++summed_;
        changed_.notify_all();
    }

private:
    std::array<Slot, 8> slots_;
    std::size_t filled_ = 0, summed_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace

int Write(const std::string& path, std::uint64_t total, const std::string& label)
{
    Fd out(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out)
        Fail(Shown(path) + " cannot be written: " + Why());
    // A pipe as large as a buffer: xorriso and this take turns less often.
    fcntl(0, F_SETPIPE_SZ, static_cast<int>(bufferBytes));
    Ring ring;
    std::string sum;
    std::thread summing([&] {
        Sha256 digest;
        for (;;) {
            Ring::Slot& slot = ring.Next();
            const std::size_t count = slot.count;
            digest.Add(slot.bytes.data(), count);
            ring.Summed();
            if (count == 0)
                break;
        }
        sum = digest.Hex();
    });
    Progress progress(label, total);
    std::uint64_t done = 0;
    std::string failed;
    for (;;) {
        Ring::Slot& slot = ring.Free();
        const ssize_t got = failed.empty() ? read(0, slot.bytes.data(), slot.bytes.size()) : 0;
        if (got < 0)
            failed = "standard input cannot be read: " + Why();
        slot.count = got > 0 ? static_cast<std::size_t>(got) : 0;
        // Written as xorriso writes a file, a little at a time: the page cache takes large writes
        // more slowly.
        for (std::size_t at = 0; at < slot.count && failed.empty();) {
            const ssize_t put = write(out.get(), slot.bytes.data() + at, std::min<std::size_t>(slot.count - at, 32768));
            if (put < 0)
                failed = Shown(path) + " cannot be written: " + Why();
            at += put > 0 ? static_cast<std::size_t>(put) : 0;
        }
        ring.Filled();
        if (slot.count == 0)
            break;
        done += slot.count;
        progress.At(done);
    }
    summing.join();
    if (!failed.empty())
        Fail(failed);
    progress.End(done);
    std::printf("%s\n", sum.c_str());
    return 0;
}

}  // namespace medium
