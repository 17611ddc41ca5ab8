// medium_files lay: the installers as STAGE/LANGUAGE/..., each file the very one that was opened
// and checked to be a file, linked where the file system allows (no second copy of gigabytes),
// copied where it does not.

#include "commands.h"
#include "folder_walk.h"
#include "shown.h"
#include "windows_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace medium {
namespace {

class Layer final : public Visitor {
public:
    explicit Layer(int stage) : stage_(stage) {}

    void Lay(const Installer& installer)
    {
        language_ = installer.language;
        if (mkdirat(stage_, language_.c_str(), 0755) != 0)
            Fail(Shown(language_) + " cannot be made in the stage: " + Why());
        struct stat status {};
        if (stat(installer.path.c_str(), &status) != 0)
            Fail(Shown(installer.path) + " went away while it was read");
        if (S_ISREG(status.st_mode)) {
            Place(Fd(open(installer.path.c_str(), O_RDONLY | O_CLOEXEC)), language_ + "/setup.exe", installer.path);
            return;
        }
        Fd top(open(installer.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!top)
            Fail(Shown(installer.path) + " cannot be read: " + Why());
        top_ = installer.path;
        Walk(top.get(), TopUnits(installer), *this);
    }

    void Folder(const std::string&, const std::vector<std::string>&) override {}

    Fd Visit(const Entry& entry) override
    {
        const std::string where = top_ + '/' + entry.path;
        if (!WhyNotCarried(entry.name).empty())
            Changed(where);
        const std::string placed = language_ + '/' + entry.path;
        if (S_ISDIR(entry.status.st_mode)) {
            if (mkdirat(stage_, placed.c_str(), 0755) != 0)
                Fail(Shown(placed) + " cannot be made in the stage: " + Why());
            Fd inner(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner)
                Changed(where);
            return inner;
        }
        if (!S_ISREG(entry.status.st_mode))
            Changed(where);
        Place(Fd(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)), placed, where);
        return {};
    }

private:
    [[noreturn]] static void Changed(const std::string& where)
    {
        Fail(Shown(where) + " changed while it was read");
    }

    // FILE, opened, as PLACED in the stage: linked through the open file itself, so that no other
    // file can take its place meanwhile; or copied from it.
    void Place(const Fd& file, const std::string& placed, const std::string& where)
    {
        struct stat status {};
        if (!file || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            static_cast<std::uint64_t>(status.st_size) >= fourGiB)
            Changed(where);
        // An empty file is never linked: empty files share nothing on the image, and linked ones
        // would be one file there where copies of the folder are several.
        const std::string opened = "/proc/self/fd/" + std::to_string(file.get());
        if (status.st_size == 0 || linkat(AT_FDCWD, opened.c_str(), stage_, placed.c_str(), AT_SYMLINK_FOLLOW) != 0)
            Copy(file, placed, where);
        // The file in the stage, a link or a copy: copies of one file are files of their own.
        struct stat laid {};
        if (fstatat(stage_, placed.c_str(), &laid, AT_SYMLINK_NOFOLLOW) != 0)
            Fail(Shown(placed) + " went away from the stage");
        std::printf("%lld\t%llu:%llu\t%s\n", static_cast<long long>(laid.st_size),
                    static_cast<unsigned long long>(laid.st_dev), static_cast<unsigned long long>(laid.st_ino),
                    placed.c_str());
    }

    void Copy(const Fd& file, const std::string& placed, const std::string& where)
    {
        Fd copy(openat(stage_, placed.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!copy)
            Fail(Shown(placed) + " cannot be written in the stage: " + Why());
        buffer_.resize(bufferBytes);
        ReadThrough(file, buffer_, where, [&](const char* bytes, std::size_t count) {
            if (write(copy.get(), bytes, count) != static_cast<ssize_t>(count))
                Fail("the copy of " + Shown(where) + " cannot be written: " + Why());
        });
    }

    int stage_;
    std::string language_, top_;
    std::vector<char> buffer_;
};

}  // namespace

int Lay(const std::string& stagePath, const std::vector<Installer>& installers)
{
    Fd stage(open(stagePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stage)
        Fail("the stage " + Shown(stagePath) + " cannot be opened: " + Why());
    Layer layer(stage.get());
    for (const Installer& installer : installers)
        layer.Lay(installer);
    return 0;
}

}  // namespace medium
