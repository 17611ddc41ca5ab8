// The facts that the file checks and make-medium need of a Windows executable, read from its own
// structure as the PE format documents it, so that nothing leans on the wording of objdump or
// osslsigncode, which changes between their versions.
//   pe_facts FILE             prints one fact a line:
//                               machine HEX, characteristics HEX, subsystem N, os-version
//                               MAJOR.MINOR, subsystem-version MAJOR.MINOR, dll-characteristics
//                               HEX, checksum-stated HEX, checksum-computed HEX; "import DLL
//                               FUNCTION" for each import and "delay-import DLL FUNCTION" for
//                               each delay-loaded one (DLL in lower case, FUNCTION "#N" for one
//                               imported by ordinal); "section NAME CHARACTERISTICS-HEX" for each
//                               section, relocations N, safe-seh-handlers N, exception-list-writes
//                               N, stack-guard-checks N (see their functions); "manifest ID
//                               LANGUAGE SIZE" for each application manifest resource, and
//                               "requested-execution-level LEVEL" when the manifest of ID 1 asks
//                               for one
//   pe_facts signature FILE OUT   writes the Authenticode signature (PKCS#7, DER) to OUT;
//                               exits 1 when the file carries none
//   pe_facts authenticode FILE    prints "digest-computed HEX", the file's Authenticode SHA-256
//                               (as Windows and osslsigncode compute it: all of the file but the
//                               checksum, the certificate table's entry and the table), then what
//                               its signature says and whether it holds (authenticode.h); exits 1
//                               when the file carries none
//   pe_facts manifest FILE OUT    writes the manifest of ID 1 to OUT; exits 1 when it has none
// Exits 2, saying why, on a file that is not a well-formed PE image (32- or 64-bit), and 3 when
// OUT cannot be written.

#include "authenticode.h"
#include "pe_image.h"

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

using namespace executable;

std::string LowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The functions of one DLL's name table, a line each, until its terminating zero.
void PrintThunks(const Image& image, const Headers& h, const char* kind, const std::string& dll, std::uint32_t table)
{
    const int size = h.wide ? 8 : 4;
    const std::uint64_t byOrdinal = std::uint64_t{1} << (size * 8 - 1);
    for (size_t thunk = FileOffset(h, table);; thunk += size) {
        const std::uint64_t value = image.Read(thunk, size);
        if (!value)
            break;
        if (value & byOrdinal)
            std::printf("%s %s #%u\n", kind, dll.c_str(), static_cast<unsigned>(value & 0xFFFF));
        else
            std::printf("%s %s %s\n", kind, dll.c_str(), image.Text(FileOffset(h, static_cast<std::uint32_t>(value)) + 2).c_str());
    }
}

void PrintImports(const Image& image, const Headers& h)
{
    if (const auto [table, size] = Directory(image, h, 1); table && size) {
        for (size_t entry = FileOffset(h, table);; entry += 20) {
            const std::uint32_t lookup = image.U32(entry), name = image.U32(entry + 12), bound = image.U32(entry + 16);
            if (!lookup && !name && !bound)
                break;
            PrintThunks(image, h, "import", LowerCase(image.Text(FileOffset(h, name))), lookup ? lookup : bound);
        }
    }
    // Delay-loaded ones are bound at their first call; Windows must still have them then.
    if (const auto [table, size] = Directory(image, h, 13); table && size) {
        for (size_t entry = FileOffset(h, table);; entry += 32) {
            const std::uint32_t attributes = image.U32(entry), name = image.U32(entry + 4), names = image.U32(entry + 16);
            if (!name && !names)
                break;
            // Without its first attribute, an old form holds addresses rather than offsets.
            const std::uint32_t base = attributes & 1 ? 0 : static_cast<std::uint32_t>(h.imageBase);
            if (name < base || names < base)
                throw Malformed("a delay-load entry's address lies before the image");
            PrintThunks(image, h, "delay-import", LowerCase(image.Text(FileOffset(h, name - base))), names - base);
        }
    }
}

// --- Resources: the application manifest --------------------------------------------------

struct Resource {
    std::uint32_t id, language;
    size_t at, size;
};

// The entries of one level of the resource tree: {name or id, offset of what it points to}.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Entries(const Image& image, size_t root, std::uint32_t directory)
{
    const size_t at = root + directory;
    const std::uint32_t count = image.U16(at + 12) + image.U16(at + 14);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    for (std::uint32_t i = 0; i < count; ++i)
        entries.push_back({image.U32(at + 16 + 8 * static_cast<size_t>(i)), image.U32(at + 20 + 8 * static_cast<size_t>(i))});
    return entries;
}

// Every resource of type 24 (RT_MANIFEST): the tree's three levels are type, name and language.
std::vector<Resource> Manifests(const Image& image, const Headers& h)
{
    std::vector<Resource> found;
    const auto [address, size] = Directory(image, h, 2);
    if (!address || !size)
        return found;
    const size_t root = FileOffset(h, address);
    constexpr std::uint32_t kSubdirectory = 0x80000000u;
    for (const auto& [type, names] : Entries(image, root, 0)) {
        if (type != 24)
            continue;
        if (!(names & kSubdirectory))
            throw Malformed("the manifest type holds no directory of names");
        for (const auto& [name, languages] : Entries(image, root, names & ~kSubdirectory)) {
            if (!(languages & kSubdirectory))
                throw Malformed("a manifest name holds no directory of languages");
            for (const auto& [language, leaf] : Entries(image, root, languages & ~kSubdirectory)) {
                if (leaf & kSubdirectory)
                    throw Malformed("the resource tree is deeper than type, name and language");
                const size_t entry = root + leaf;
                const size_t at = FileOffset(h, image.U32(entry)), length = image.U32(entry + 4);
                image.Within(at, length, "a manifest runs past the end of the file");
                found.push_back({name, language, at, length});
            }
        }
    }
    return found;
}

const Resource* ProcessManifest(const std::vector<Resource>& manifests)
{
    for (const Resource& r : manifests)
        if (r.id == 1)  // the one Windows reads when it creates the process
            return &r;
    return nullptr;
}

// The level attribute of requestedExecutionLevel, in a manifest of UTF-8 or UTF-16 text.
std::string RequestedExecutionLevel(const Image& image, const Resource& manifest)
{
    std::string text(image.bytes.begin() + static_cast<std::ptrdiff_t>(manifest.at),
                     image.bytes.begin() + static_cast<std::ptrdiff_t>(manifest.at + manifest.size));
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE)
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    const size_t element = text.find("requestedExecutionLevel");
    const size_t end = text.find('>', element);
    if (element == std::string::npos || end == std::string::npos)
        return "";
    const std::string tag = text.substr(element, end - element);
    for (size_t at = tag.find("level"); at != std::string::npos; at = tag.find("level", at + 1)) {
        size_t value = tag.find_first_not_of(" \t\r\n", at + 5);
        if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1])) || value == std::string::npos || tag[value] != '=')
            continue;
        value = tag.find_first_not_of(" \t\r\n", value + 1);
        if (value == std::string::npos || (tag[value] != '"' && tag[value] != '\''))
            continue;
        const size_t close = tag.find(tag[value], value + 1);
        return close == std::string::npos ? "" : tag.substr(value + 1, close - value - 1);
    }
    return "";
}

// --- Writing a part of the file out -------------------------------------------------------

int WriteOut(const Image& image, size_t at, size_t length, const char* out)
{
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(image.bytes.data() + at), static_cast<std::streamsize>(length));
    file.close();
    if (!file) {
        std::fprintf(stderr, "pe_facts: %s cannot be written\n", out);
        return 3;
    }
    return 0;
}


int WriteSignature(const Image& image, const Headers& h, const char* out)
{
    const auto [der, length] = Signature(image, h);
    return der ? WriteOut(image, der, length, out) : 1;
}

// The addresses that base relocations fix up when Windows loads the image elsewhere than at its
// preferred base: without them it cannot move, whatever DYNAMIC_BASE asks. An image's relocations
// are all of one kind (HIGHLOW, 3, in a 32-bit one; DIR64, 10, in a 64-bit one); the others only
// pad a block, and an empty block ends the table where a linker padded it.
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
            if (image.U16(entry) >> 12 == (h.wide ? 10 : 3))
                addresses.push_back(page + (image.U16(entry) & 0xFFF));
        block += length;
    }
    return addresses;
}

// How many exception handlers the load configuration lists as the image's only ones (SafeSEH):
// an image declares it has none (NO_SEH) or lists them, or else an exception record overwritten
// on the stack can send an exception into any of its code. 0 without a load configuration, and in
// a 64-bit image, whose exceptions are unwound from tables rather than from the stack.
std::uint32_t SafeSehHandlers(const Image& image, const Headers& h)
{
    const auto [table, size] = Directory(image, h, 10);
    if (h.wide || !table || !size)
        return 0;
    const size_t at = FileOffset(h, table);
    return image.U32(at) >= 0x48 && image.U32(at + 0x40) ? image.U32(at + 0x44) : 0;
}

// The places in the code that write the thread's exception list, fs:[0], as compilers and runtimes
// do to install an SEH frame: "mov fs:[0], eax" (64 A3), "mov fs:[0], reg" (64 89), "pop fs:[0]"
// (64 8F) and "mov fs:[0], imm" (64 C7), each with the 32-bit offset 0. An image that declares it
// has no exception handlers (NO_SEH) must have none: Windows would refuse the handler it installs.
std::uint32_t ExceptionListWrites(const Image& image, const Headers& h)
{
    std::uint32_t writes = 0;
    for (const Section& section : h.sections) {
        if (!section.Code())
            continue;
        for (size_t at = section.fileOffset; at + 7 <= size_t{section.fileOffset} + section.rawSize; ++at) {
            if (image.U8(at) != 0x64)
                continue;
            const std::uint32_t opcode = image.U8(at + 1);
            if (opcode == 0xA3 ? image.U32(at + 2) == 0
                               : (opcode == 0x89 || opcode == 0x8F || opcode == 0xC7) &&
                                     (image.U8(at + 2) & 0xC7) == 0x05 && image.U32(at + 3) == 0)
                ++writes;
        }
    }
    return writes;
}

// GCC's stack protector ends every function it guards by subtracting the guard, a word in the
// image's data, from the copy that the function keeps in its frame, and branching to its failure
// path on a difference: "sub GUARD, reg" (2B, a ModRM byte that names a 32-bit absolute operand,
// which a relocation fixes up) and a conditional jump (74/75, or 0F 84/85). The count for the word
// compared most often is the number of such checks in the code; 0 in unguarded code.
std::uint32_t StackGuardChecks(const Image& image, const Headers& h, const std::vector<std::uint32_t>& relocated)
{
    const auto inCode = [&](std::uint32_t address) {
        return std::any_of(h.sections.begin(), h.sections.end(), [&](const Section& s) {
            return s.Code() && address >= s.address + 2 && address - s.address + 6 <= s.rawSize;
        });
    };
    std::map<std::uint32_t, std::uint32_t> checksOf;
    for (const std::uint32_t address : relocated) {
        if (!inCode(address))
            continue;
        const size_t at = FileOffset(h, address);
        const std::uint32_t next = image.U8(at + 4);
        const bool branch = next == 0x74 || next == 0x75 || (next == 0x0F && (image.U8(at + 5) & 0xFE) == 0x84);
        if (image.U8(at - 2) == 0x2B && (image.U8(at - 1) & 0xC7) == 0x05 && branch)
            ++checksOf[image.U32(at)];
    }
    std::uint32_t most = 0;
    for (const auto& [guard, checks] : checksOf)
        most = std::max(most, checks);
    return most;
}

int Facts(int argc, char** argv)
{
    const std::string mode = argc == 4 ? argv[1] : "";
    const Image image = ReadImage(argv[argc - (argc == 4 ? 2 : 1)]);
    const Headers h = ReadHeaders(image);
    if (mode == "signature")
        return WriteSignature(image, h, argv[3]);
    if (mode == "manifest") {
        const std::vector<Resource> manifests = Manifests(image, h);
        const Resource* manifest = ProcessManifest(manifests);
        return manifest ? WriteOut(image, manifest->at, manifest->size, argv[3]) : 1;
    }

    std::printf("machine %04x\n", image.U16(h.coff));
    std::printf("characteristics %04x\n", image.U16(h.coff + 18));
    std::printf("subsystem %u\n", image.U16(h.optional + 68));
    std::printf("os-version %u.%u\n", image.U16(h.optional + 40), image.U16(h.optional + 42));
    std::printf("subsystem-version %u.%u\n", image.U16(h.optional + 48), image.U16(h.optional + 50));
    std::printf("dll-characteristics %04x\n", image.U16(h.optional + 70));
    std::printf("checksum-stated %08x\n", image.U32(h.checksumField));
    std::printf("checksum-computed %08x\n", Checksum(image, h));
    PrintImports(image, h);
    for (const Section& s : h.sections)
        std::printf("section %s %08x\n", s.name.c_str(), s.characteristics);
    const std::vector<std::uint32_t> relocated = RelocatedAddresses(image, h);
    std::printf("relocations %zu\n", relocated.size());
    std::printf("safe-seh-handlers %u\n", SafeSehHandlers(image, h));
    std::printf("exception-list-writes %u\n", ExceptionListWrites(image, h));
    std::printf("stack-guard-checks %u\n", StackGuardChecks(image, h, relocated));
    const std::vector<Resource> manifests = Manifests(image, h);
    for (const Resource& r : manifests)
        std::printf("manifest %u %u %zu\n", r.id, r.language, r.size);
    if (const Resource* manifest = ProcessManifest(manifests)) {
        const std::string level = RequestedExecutionLevel(image, *manifest);
        if (!level.empty())
            std::printf("requested-execution-level %s\n", level.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 4 ? argv[1] : "";
    const bool authenticode = argc == 3 && std::string(argv[1]) == "authenticode";
    if (argc != 2 && mode != "signature" && mode != "manifest" && !authenticode) {
        std::fprintf(stderr, "usage: pe_facts FILE | pe_facts signature FILE OUT | pe_facts manifest FILE OUT"
                             " | pe_facts authenticode FILE\n");
        return 2;
    }
    const char* file = argv[argc - (argc == 4 ? 2 : 1)];
    try {
        if (!authenticode)
            return Facts(argc, argv);
        const std::optional<PeSignature> signature = ReadPeSignature(file);
        if (!signature)
            return 1;
        std::printf("digest-computed %s\n", signature->digestComputed.c_str());
        std::printf("signature-table %s\n", signature->tableExact ? "exact" : "holds-more");
        const std::optional<AuthenticodeFacts> facts = ReadAuthenticode(signature->der);
        if (!facts)
            throw Malformed("the signature is no Authenticode signature");
        PrintAuthenticode(*facts);
        return 0;
    } catch (const Malformed& malformed) {
        std::fprintf(stderr, "pe_facts: %s: malformed: %s\n", file, malformed.what());
        return 2;
    }
}
