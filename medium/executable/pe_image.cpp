#include "pe_image.h"

#include "sha256.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace executable {

Headers ReadHeaders(const Image& image)
{
    if (image.bytes.size() < 2 || image.U16(0) != 0x5A4D)
        throw Malformed("no MZ header");
    Headers h{};
    const size_t pe = image.U32(0x3C);
    if (image.U32(pe) != 0x00004550)
        throw Malformed("no PE signature");
    h.coff = pe + 4;
    h.optional = h.coff + 20;
    const std::uint32_t magic = image.U16(h.optional);
    if (magic != 0x10B && magic != 0x20B)
        throw Malformed("the optional header is neither PE32 nor PE32+");
    h.wide = magic == 0x20B;
    h.imageBase = h.wide ? image.Read(h.optional + 24, 8) : image.U32(h.optional + 28);
    h.headersSize = image.U32(h.optional + 60);
    h.checksumField = h.optional + 64;
    h.directories = image.U32(h.optional + (h.wide ? 108 : 92));
    const size_t sectionTable = h.optional + image.U16(h.coff + 16);
    for (std::uint32_t i = 0; i < image.U16(h.coff + 2); ++i) {
        const size_t at = sectionTable + 40 * static_cast<size_t>(i);
        std::string name;
        for (size_t c = 0; c < 8 && image.U8(at + c); ++c)
            name += static_cast<char>(image.U8(at + c));
        h.sections.push_back({name, image.U32(at + 36), image.U32(at + 12), image.U32(at + 16), image.U32(at + 20)});
    }
    return h;
}

std::pair<std::uint32_t, std::uint32_t> Directory(const Image& image, const Headers& h, std::uint32_t index)
{
    if (index >= h.directories)
        return {0, 0};
    const size_t at = h.optional + (h.wide ? 112 : 96) + 8 * static_cast<size_t>(index);
    return {image.U32(at), image.U32(at + 4)};
}

size_t FileOffset(const Headers& h, std::uint32_t address)
{
    if (address < h.headersSize)
        return address;
    for (const Section& s : h.sections)
        if (address >= s.address && address - s.address < s.rawSize)
            return static_cast<size_t>(s.fileOffset) + (address - s.address);
    throw Malformed("an address lies in no section's data");
}

std::uint32_t Checksum(const Image& image, const Headers& h)
{
    const auto byte = [&](size_t at) -> std::uint32_t {
        const bool inField = at >= h.checksumField && at < h.checksumField + 4;
        return at < image.bytes.size() && !inField ? image.bytes[at] : 0;
    };
    std::uint32_t sum = 0;
    for (size_t at = 0; at < image.bytes.size(); at += 2) {
        sum += byte(at) | byte(at + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + static_cast<std::uint32_t>(image.bytes.size());
}

namespace {

// The length of the DER value at `at`, header included, from its own header.
size_t DerLength(const Image& image, size_t at)
{
    const std::uint32_t first = image.U8(at + 1);
    if (first < 0x80)
        return 2 + first;
    const std::uint32_t count = first & 0x7F;
    if (count == 0 || count > 3)
        throw Malformed("the signature's length is not one DER states");
    size_t length = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        length = length << 8 | image.U8(at + 2 + i);
    return 2 + count + length;
}

}  // namespace

std::pair<size_t, size_t> Signature(const Image& image, const Headers& h)
{
    const auto [at, size] = Directory(image, h, 4);
    if (!at || size < 8 || image.U16(at + 6) != 2)
        return {0, 0};
    const std::uint32_t entryLength = image.U32(at);
    if (entryLength < 8)
        throw Malformed("the certificate entry is shorter than its own header");
    const size_t der = at + 8, length = DerLength(image, der);
    if (image.U8(der) != 0x30 || length > entryLength - 8 || length > image.bytes.size() - der)
        throw Malformed("the signature is no DER sequence within its entry");
    return {der, length};
}

std::string AuthenticodeDigest(const Image& image, const Headers& h)
{
    const size_t entry = h.optional + (h.wide ? 112 : 96) + 8 * 4;
    const auto [table, size] = Directory(image, h, 4);
    const size_t end = table && table <= image.bytes.size() ? table : image.bytes.size();
    image.Within(entry, 8, "the certificate table's entry lies beyond the end of the file");
    if (end < entry + 8)
        throw Malformed("the certificate table lies within the headers");
    medium::Sha256 digest;
    digest.Add(image.bytes.data(), h.checksumField);
    digest.Add(image.bytes.data() + h.checksumField + 4, entry - h.checksumField - 4);
    digest.Add(image.bytes.data() + entry + 8, end - entry - 8);
    return digest.Hex();
}

Image ReadImage(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Malformed("cannot be read");
    return Image{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
}

std::optional<PeSignature> ReadPeSignature(const std::string& file)
{
    const Image image = ReadImage(file);
    const Headers h = ReadHeaders(image);
    const auto [der, length] = Signature(image, h);
    if (!der)
        return std::nullopt;
    PeSignature signature{{image.bytes.begin() + static_cast<std::ptrdiff_t>(der),
                           image.bytes.begin() + static_cast<std::ptrdiff_t>(der + length)},
                          AuthenticodeDigest(image, h)};
    const auto [table, size] = Directory(image, h, 4);
    const size_t padded = 8 + (length + 7) / 8 * 8;
    signature.tableExact = image.U32(table) == padded && size == padded && table + size == image.bytes.size() &&
                           std::all_of(image.bytes.begin() + static_cast<std::ptrdiff_t>(der + length), image.bytes.end(),
                                       [](unsigned char b) { return b == 0; });
    return signature;
}

}  // namespace executable
