#include "image.h"

#include "fd.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <libisofs/libisofs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace proof {
namespace {

// libisofs once a process: its messages queued from warnings up, none printed, and any warning
// stopping the reading, as none belongs in an image make-medium writes.
void Start()
{
    static std::once_flag started;
    std::call_once(started, [] {
        iso_init();
        iso_set_local_charset(const_cast<char*>("UTF-8"), 0);
        iso_set_msgs_severities(const_cast<char*>("WARNING"), const_cast<char*>("NEVER"), const_cast<char*>("medium"));
        iso_set_abort_severity(const_cast<char*>("WARNING"));
    });
}

// The first message queued since the last call, in libisofs' own words; or empty.
std::string Warned()
{
    std::string first;
    int code = 0, image = 0;
    char text[ISO_MSGS_MESSAGE_LEN], severity[80];
    while (iso_obtain_msgs(const_cast<char*>("WARNING"), &code, &image, text, severity) == 1)
        if (first.empty())
            first = std::string(severity) + ": " + text;
    return first;
}

IsoNode* Child(IsoDir* folder, const std::string& name)
{
    IsoNode* node = nullptr;
    return iso_dir_get_node(folder, name.c_str(), &node) == 1 ? node : nullptr;
}

void List(IsoDir* folder, const std::string& path, std::vector<ImageEntry>& entries)
{
    std::vector<std::string> names;
    IsoDirIter* children = nullptr;
    if (iso_dir_get_children(folder, &children) < 0)
        return;
    IsoNode* node = nullptr;
    while (iso_dir_iter_next(children, &node) == 1)
        names.emplace_back(iso_node_get_name(node));
    iso_dir_iter_free(children);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        node = Child(folder, name);
        ImageEntry entry{ImageEntry::Kind::Other, path + "/" + name};
        if (iso_node_get_type(node) == LIBISO_DIR) {
            entry.kind = ImageEntry::Kind::Folder;
            entries.push_back(entry);
            List(reinterpret_cast<IsoDir*>(node), entry.path, entries);
            continue;
        }
        if (iso_node_get_type(node) == LIBISO_FILE) {
            IsoFile* file = reinterpret_cast<IsoFile*>(node);
            entry.kind = ImageEntry::Kind::File;
            entry.size = iso_file_get_size(file);
            iso_file_section* sections = nullptr;
            if (iso_file_get_old_image_sections(file, &entry.extents, &sections, 0) == 1 && entry.extents > 0)
                entry.block = sections[0].block;
            std::free(sections);
        }
        entries.push_back(entry);
    }
}

}  // namespace

std::unique_ptr<LoadedImage> LoadedImage::Load(const std::string& path, Names names, std::string& why, bool* exhausted)
{
    Start();
    Warned();
    IsoDataSource* source = nullptr;
    if (iso_data_source_new_from_file(path.c_str(), &source) < 0) {
        why = "it cannot be opened";
        return nullptr;
    }
    IsoReadOpts* options = nullptr;
    iso_read_opts_new(&options, 0);
    iso_read_opts_set_input_charset(options, "UTF-8");
    if (names == Names::Joliet) {
        iso_read_opts_set_no_rockridge(options, 1);
        iso_read_opts_set_preferjoliet(options, 1);
    } else {
        iso_read_opts_set_no_joliet(options, 1);
    }
    IsoImage* image = nullptr;
    iso_image_new("medium", &image);
    std::unique_ptr<LoadedImage> loaded(new LoadedImage(image));
    IsoReadImageFeatures* features = nullptr;
    const int status = iso_image_import(image, source, options, &features);
    iso_read_opts_free(options);
    iso_data_source_unref(source);
    if (features)
        iso_read_image_features_destroy(features);
    const std::string warned = Warned();
    if (status < 0 || !warned.empty()) {
        if (exhausted)
            *exhausted = status == static_cast<int>(ISO_OUT_OF_MEM);
        why = !warned.empty() ? warned : iso_error_to_msg(status);
        return nullptr;
    }
    List(iso_image_get_root(image), "", loaded->entries_);
    return loaded;
}

LoadedImage::~LoadedImage()
{
    iso_image_unref(image_);
}

const ImageEntry* LoadedImage::Find(const std::string& path) const
{
    const auto at = std::find_if(entries_.begin(), entries_.end(), [&](const ImageEntry& e) { return e.path == path; });
    return at == entries_.end() ? nullptr : &*at;
}

bool LoadedImage::Read(const ImageEntry& file, std::uint64_t atMost,
                       const std::function<bool(const char*, std::size_t)>& take) const
{
    IsoNode* node = nullptr;
    if (file.kind != ImageEntry::Kind::File || iso_tree_path_to_node(image_, file.path.c_str(), &node) != 1)
        return false;
    IsoStream* stream = iso_file_get_stream(reinterpret_cast<IsoFile*>(node));
    if (iso_stream_open(stream) < 0)
        return false;
    const std::uint64_t wanted = std::min(file.size, atMost);
    std::vector<char> buffer(1 << 20);
    std::uint64_t done = 0;
    bool read = true;
    while (read && done < wanted) {
        const int got = iso_stream_read(stream, buffer.data(), std::min<std::uint64_t>(buffer.size(), wanted - done));
        read = got > 0 && take(buffer.data(), static_cast<std::size_t>(got));
        done += got > 0 ? static_cast<std::uint64_t>(got) : 0;
    }
    iso_stream_close(stream);
    return read;
}

bool LoadedImage::Copy(const ImageEntry& file, const std::string& out, std::uint64_t atMost) const
{
    medium::Fd into(open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    return into && Read(file, atMost, [&](const char* bytes, std::size_t count) {
               return write(into.get(), bytes, count) == static_cast<ssize_t>(count);
           });
}

}  // namespace proof
