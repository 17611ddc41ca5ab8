// A Windows executable read from its own structure as the PE format documents it: its headers, its
// directories, and its Authenticode signature with the digest that signature must vouch for.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace executable {

// A file that is not a well-formed PE image (32- or 64-bit), and why.
struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Every read is bounded by the file: a field or name that lies beyond its end makes it malformed.
struct Image {
    std::vector<unsigned char> bytes;

    void Within(size_t at, size_t length, const char* why) const
    {
        if (at > bytes.size() || bytes.size() - at < length)
            throw Malformed(why);
    }
    std::uint64_t Read(size_t at, int size) const
    {
        Within(at, static_cast<size_t>(size), "a field lies beyond the end of the file");
        std::uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | bytes[at + i];
        return value;
    }
    std::uint32_t U8(size_t at) const { return static_cast<std::uint32_t>(Read(at, 1)); }
    std::uint32_t U16(size_t at) const { return static_cast<std::uint32_t>(Read(at, 2)); }
    std::uint32_t U32(size_t at) const { return static_cast<std::uint32_t>(Read(at, 4)); }
    std::string Text(size_t at) const
    {
        if (at >= bytes.size())
            throw Malformed("a name lies beyond the end of the file");
        const auto end = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), 0);
        if (end == bytes.end())
            throw Malformed("a name runs past the end of the file");
        return {bytes.begin() + static_cast<std::ptrdiff_t>(at), end};
    }
};

// A section's name, its characteristics (IMAGE_SCN_*: whether Windows maps it writable,
// executable or shared between the processes that load the image), and where its data lies.
struct Section {
    std::string name;
    std::uint32_t characteristics, address, rawSize, fileOffset;
    bool Code() const { return characteristics & 0x20000000u; }
};

struct Headers {
    size_t coff, optional, checksumField;
    bool wide;  // PE32+: 64-bit addresses and thunks
    std::uint64_t imageBase;
    std::uint32_t headersSize, directories;
    std::vector<Section> sections;
};

Headers ReadHeaders(const Image& image);
// A data directory's address and size; 0, 0 where the image has none of that kind.
std::pair<std::uint32_t, std::uint32_t> Directory(const Image& image, const Headers& h, std::uint32_t index);
// Where an address of the loaded image lies in the file: in the headers, which are loaded as they
// are, or in a section's data.
size_t FileOffset(const Headers& h, std::uint32_t address);
// The documented checksum: the file as 16-bit words, with the checksum field taken as zero,
// summed with the carries folded back in, plus the file's length.
std::uint32_t Checksum(const Image& image, const Headers& h);
// The first entry of the certificate table (whose address, unlike the other directories', is a
// file offset), when it is a PKCS#7 signature: where its DER lies, without the entry's padding;
// 0, 0 when the file carries none.
std::pair<size_t, size_t> Signature(const Image& image, const Headers& h);
// The digest an Authenticode signature vouches for, in hex: the file up to its certificate table,
// less the checksum and the table's directory entry, which signing changes.
std::string AuthenticodeDigest(const Image& image, const Headers& h);

// FILE's whole bytes; Malformed when it cannot be read.
Image ReadImage(const std::string& file);

// A signed file's signature: its DER, the digest of the file it must vouch for, and whether the
// certificate table holds it as signing writes it (one entry, the signature and its zero padding
// to 8 bytes, ending the file) and nothing more.
struct PeSignature {
    std::vector<unsigned char> der;
    std::string digestComputed;
    bool tableExact = false;
};
// FILE's signature; nothing when it carries none.
std::optional<PeSignature> ReadPeSignature(const std::string& file);

}  // namespace executable
