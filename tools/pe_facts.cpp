// The facts the file checks need of a Windows executable, read from its own structure as the
// PE format documents it, so that no check leans on the wording of objdump or osslsigncode, which
// changes between their versions.
//   pe_facts FILE             prints one fact a line:
//                               machine HEX, os-version MAJOR.MINOR, subsystem-version MAJOR.MINOR,
//                               dll-characteristics HEX, checksum-stated HEX, checksum-computed HEX,
//                               and "import DLL FUNCTION" for each import (DLL in lower case,
//                               FUNCTION "#N" for one imported by ordinal);
//                               "section NAME CHARACTERISTICS-HEX" for each section, relocations N,
//                               safe-seh-handlers N, exception-list-writes N, stack-guard-checks N
//                               (see their functions)
//   pe_facts signature FILE OUT   writes the Authenticode signature (PKCS#7, DER) to OUT;
//                               exits 1 when the file carries none
// Exits 2, saying why, on a file that is not a well-formed PE image.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

std::string fileName;

[[noreturn]] void Malformed(const char* why)
{
    std::fprintf(stderr, "pe_facts: %s: %s\n", fileName.c_str(), why);
    std::exit(2);
}

struct Image {
    std::vector<unsigned char> bytes;

    std::uint32_t Read(size_t at, int size) const
    {
        if (at > bytes.size() || bytes.size() - at < static_cast<size_t>(size))
            Malformed("a field lies beyond the end of the file");
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | bytes[at + i];
        return value;
    }
    std::uint32_t U16(size_t at) const { return Read(at, 2); }
    std::uint32_t U32(size_t at) const { return Read(at, 4); }
    std::string Text(size_t at) const
    {
        std::string text;
        while (at < bytes.size() && bytes[at])
            text += static_cast<char>(bytes[at++]);
        if (at == bytes.size())
            Malformed("a name runs past the end of the file");
        return text;
    }
};

struct Section {
    std::uint32_t address, size, fileOffset;
};

struct Headers {
    size_t coff, optional, checksumField;
    std::uint32_t directories;
    std::vector<Section> sections;
};

Headers ReadHeaders(const Image& image)
{
    if (image.U16(0) != 0x5A4D)
        Malformed("no MZ header");
    Headers h{};
    const size_t pe = image.U32(0x3C);
    if (image.U32(pe) != 0x00004550)
        Malformed("no PE signature");
    h.coff = pe + 4;
    h.optional = h.coff + 20;
    if (image.U16(h.optional) != 0x10B)
        Malformed("not a 32-bit (PE32) image");
    h.checksumField = h.optional + 64;
    h.directories = image.U32(h.optional + 92);
    const size_t sectionTable = h.optional + image.U16(h.coff + 16);
    for (std::uint32_t i = 0; i < image.U16(h.coff + 2); ++i) {
        const size_t at = sectionTable + 40 * i;
        h.sections.push_back({image.U32(at + 12), std::max(image.U32(at + 8), image.U32(at + 16)), image.U32(at + 20)});
    }
    return h;
}

// A data directory's address and size; 0, 0 where the image has none of that kind.
std::pair<std::uint32_t, std::uint32_t> Directory(const Image& image, const Headers& h, std::uint32_t index)
{
    if (index >= h.directories)
        return {0, 0};
    return {image.U32(h.optional + 96 + 8 * index), image.U32(h.optional + 100 + 8 * index)};
}

size_t FileOffset(const Headers& h, std::uint32_t address)
{
    for (const Section& s : h.sections)
        if (address >= s.address && address - s.address < s.size)
            return s.fileOffset + (address - s.address);
    Malformed("an address lies in no section");
}

// The documented checksum: the file as 16-bit words, the checksum field left out, summed with
// the carries folded back in, plus the file's length.
std::uint32_t ComputedChecksum(const Image& image, const Headers& h)
{
    std::uint32_t sum = 0;
    for (size_t at = 0; at < image.bytes.size(); at += 2) {
        if (at == h.checksumField || at == h.checksumField + 2)
            continue;
        sum += image.bytes[at] | (at + 1 < image.bytes.size() ? image.bytes[at + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + static_cast<std::uint32_t>(image.bytes.size());
}

void PrintImports(const Image& image, const Headers& h)
{
    const auto [table, size] = Directory(image, h, 1);
    if (!table || !size)
        return;
    for (size_t entry = FileOffset(h, table);; entry += 20) {
        const std::uint32_t lookup = image.U32(entry), name = image.U32(entry + 12), bound = image.U32(entry + 16);
        if (!lookup && !name && !bound)
            break;
        std::string dll = image.Text(FileOffset(h, name));
        std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
        for (size_t thunk = FileOffset(h, lookup ? lookup : bound);; thunk += 4) {
            const std::uint32_t value = image.U32(thunk);
            if (!value)
                break;
            if (value & 0x80000000u)
                std::printf("import %s #%u\n", dll.c_str(), value & 0xFFFF);
            else
                std::printf("import %s %s\n", dll.c_str(), image.Text(FileOffset(h, value) + 2).c_str());
        }
    }
}

// The length of the DER value at `at`, header included, from its own header.
size_t DerLength(const Image& image, size_t at)
{
    const std::uint32_t first = image.Read(at + 1, 1);
    if (first < 0x80)
        return 2 + first;
    const std::uint32_t count = first & 0x7F;
    if (count == 0 || count > 3)
        Malformed("the signature's length is not one DER states");
    size_t length = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        length = length << 8 | image.Read(at + 2 + i, 1);
    return 2 + count + length;
}

// The first entry of the certificate table (whose address, unlike the other directories', is a
// file offset), when it is a PKCS#7 signature: its DER, without the entry's padding.
int WriteSignature(const Image& image, const Headers& h, const char* out)
{
    const auto [at, size] = Directory(image, h, 4);
    if (!at || size < 8 || image.U16(at + 6) != 2)
        return 1;
    const size_t der = at + 8, length = DerLength(image, der);
    if (image.Read(der, 1) != 0x30 || length > image.U32(at) - 8 || length > image.bytes.size() - der)
        Malformed("the signature is no DER sequence within its entry");
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(&image.bytes[der]), static_cast<std::streamsize>(length));
    return 0;
}

// Each section with its characteristics (IMAGE_SCN_*), which tell Windows whether to map it
// writable, executable or shared between the processes that load the image.
void PrintSections(const Image& image, const Headers& h)
{
    const size_t table = h.optional + image.U16(h.coff + 16);
    for (std::uint32_t i = 0; i < image.U16(h.coff + 2); ++i) {
        const size_t at = table + 40 * i;
        std::string name;
        for (size_t c = 0; c < 8 && image.Read(at + c, 1); ++c)
            name += static_cast<char>(image.Read(at + c, 1));
        std::printf("section %s %08x\n", name.c_str(), image.U32(at + 36));
    }
}

// The addresses that base relocations fix up when Windows loads the image elsewhere than at its
// preferred base: without them it cannot move, whatever DYNAMIC_BASE asks. A 32-bit image's
// relocations are all of one kind (HIGHLOW, 3); the others only pad a block, and an empty block
// ends the table where a linker padded it.
std::vector<std::uint32_t> RelocatedAddresses(const Image& image, const Headers& h)
{
    std::vector<std::uint32_t> addresses;
    const auto [table, size] = Directory(image, h, 5);
    if (!table || !size)
        return addresses;
    const size_t start = FileOffset(h, table);
    for (size_t block = start; block + 8 <= start + size;) {
        const std::uint32_t page = image.U32(block), length = image.U32(block + 4);
        if (length < 8)
            break;
        for (size_t entry = block + 8; entry + 2 <= block + length; entry += 2)
            if (image.U16(entry) >> 12 == 3)
                addresses.push_back(page + (image.U16(entry) & 0xFFF));
        block += length;
    }
    return addresses;
}

// How many exception handlers the load configuration lists as the image's only ones (SafeSEH):
// an image declares it has none (NO_SEH) or lists them, or else an exception record overwritten
// on the stack can send an exception into any of its code. 0 without a load configuration.
std::uint32_t SafeSehHandlers(const Image& image, const Headers& h)
{
    const auto [table, size] = Directory(image, h, 10);
    if (!table || !size)
        return 0;
    const size_t at = FileOffset(h, table);
    return image.U32(at) >= 0x48 && image.U32(at + 0x40) ? image.U32(at + 0x44) : 0;
}

// The executable sections' bytes as the file holds them.
struct Code {
    std::uint32_t address, size;
    size_t fileOffset;
};
std::vector<Code> CodeSections(const Image& image, const Headers& h)
{
    std::vector<Code> code;
    const size_t table = h.optional + image.U16(h.coff + 16);
    for (std::uint32_t i = 0; i < image.U16(h.coff + 2); ++i)
        if (image.U32(table + 40 * i + 36) & 0x20000000u)
            code.push_back({image.U32(table + 40 * i + 12), image.U32(table + 40 * i + 16), image.U32(table + 40 * i + 20)});
    return code;
}

// The places in the code that write the thread's exception list, fs:[0], as compilers and runtimes
// do to install an SEH frame: "mov fs:[0], eax" (64 A3), "mov fs:[0], reg" (64 89), "pop fs:[0]"
// (64 8F) and "mov fs:[0], imm" (64 C7), each with the 32-bit offset 0. An image that declares it
// has no exception handlers (NO_SEH) must have none: Windows would refuse the handler it installs.
std::uint32_t ExceptionListWrites(const Image& image, const Headers& h)
{
    std::uint32_t writes = 0;
    for (const Code& section : CodeSections(image, h))
        for (size_t at = section.fileOffset; at + 7 <= section.fileOffset + section.size; ++at) {
            if (image.Read(at, 1) != 0x64)
                continue;
            const std::uint32_t opcode = image.Read(at + 1, 1);
            if (opcode == 0xA3 ? image.U32(at + 2) == 0
                               : (opcode == 0x89 || opcode == 0x8F || opcode == 0xC7) &&
                                     (image.Read(at + 2, 1) & 0xC7) == 0x05 && image.U32(at + 3) == 0)
                ++writes;
        }
    return writes;
}

// GCC's stack protector ends every function it guards by subtracting the guard, a word in the
// image's data, from the copy that the function keeps in its frame, and branching to its failure
// path on a difference: "sub GUARD, reg" (2B, a ModRM byte that names a 32-bit absolute operand,
// which a relocation fixes up) and a conditional jump (74/75, or 0F 84/85). The count for the word
// compared most often is the number of such checks in the code; 0 in unguarded code.
std::uint32_t StackGuardChecks(const Image& image, const Headers& h)
{
    const std::vector<Code> code = CodeSections(image, h);
    const auto inCode = [&](std::uint32_t address) {
        return std::any_of(code.begin(), code.end(), [&](const Code& s) {
            return address >= s.address + 2 && address - s.address + 6 <= s.size;
        });
    };
    std::map<std::uint32_t, std::uint32_t> checksOf;
    for (const std::uint32_t address : RelocatedAddresses(image, h)) {
        if (!inCode(address))
            continue;
        const size_t at = FileOffset(h, address);
        const std::uint32_t next = image.Read(at + 4, 1);
        const bool branch = next == 0x74 || next == 0x75 || (next == 0x0F && (image.Read(at + 5, 1) & 0xFE) == 0x84);
        if (image.Read(at - 2, 1) == 0x2B && (image.Read(at - 1, 1) & 0xC7) == 0x05 && branch)
            ++checksOf[image.U32(at)];
    }
    std::uint32_t most = 0;
    for (const auto& [guard, checks] : checksOf)
        most = std::max(most, checks);
    return most;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool signature = argc == 4 && std::string(argv[1]) == "signature";
    if (argc != 2 && !signature) {
        std::fprintf(stderr, "usage: pe_facts FILE | pe_facts signature FILE OUT\n");
        return 2;
    }
    fileName = argv[signature ? 2 : 1];
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        Malformed("cannot be read");
    const Image image{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
    const Headers h = ReadHeaders(image);
    if (signature)
        return WriteSignature(image, h, argv[3]);

    std::printf("machine %04x\n", image.U16(h.coff));
    std::printf("os-version %u.%u\n", image.U16(h.optional + 40), image.U16(h.optional + 42));
    std::printf("subsystem-version %u.%u\n", image.U16(h.optional + 48), image.U16(h.optional + 50));
    std::printf("dll-characteristics %04x\n", image.U16(h.optional + 70));
    std::printf("checksum-stated %08x\n", image.U32(h.checksumField));
    std::printf("checksum-computed %08x\n", ComputedChecksum(image, h));
    PrintImports(image, h);
    PrintSections(image, h);
    std::printf("relocations %zu\n", RelocatedAddresses(image, h).size());
    std::printf("safe-seh-handlers %u\n", SafeSehHandlers(image, h));
    std::printf("exception-list-writes %u\n", ExceptionListWrites(image, h));
    std::printf("stack-guard-checks %u\n", StackGuardChecks(image, h));
    return 0;
}
