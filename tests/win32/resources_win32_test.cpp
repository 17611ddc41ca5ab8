// What Windows reads from Project1.exe: the version details a file browser shows, and the icon
// in both sizes.

#include <gtest/gtest.h>

#include <map>

#include "resource_ids.h"
#include "support.h"

namespace {

std::vector<BYTE> VersionBlock()
{
    const std::wstring exe = (BinDirectory() / L"Project1.exe").wstring();
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return {};
    return block;
}

// The version block is a tree of nodes: length, value length, type, key, then the value and
// the children, each on a 32-bit boundary.
struct VersionNode {
    const BYTE* at;
    WORD length;
    std::wstring key;
    std::wstring value;  // text nodes only
    const BYTE* children;
};
const BYTE* Aligned(const BYTE* base, const BYTE* p) { return base + ((p - base + 3) & ~3); }
VersionNode ReadNode(const BYTE* at)
{
    const WORD* header = reinterpret_cast<const WORD*>(at);
    const WORD length = header[0], valueLength = header[1], type = header[2];
    const wchar_t* key = reinterpret_cast<const wchar_t*>(at + 6);
    const BYTE* value = Aligned(at, reinterpret_cast<const BYTE*>(key + wcslen(key) + 1));
    const std::wstring text = type == 1 && valueLength ? std::wstring(reinterpret_cast<const wchar_t*>(value)) : L"";
    return {at, length, key, text, Aligned(at, value + (type == 1 ? valueLength * sizeof(wchar_t) : valueLength))};
}
std::vector<VersionNode> Children(const BYTE* node)
{
    const VersionNode parent = ReadNode(node);
    std::vector<VersionNode> children;
    for (const BYTE* p = parent.children; p < node + parent.length;) {
        const VersionNode child = ReadNode(p);
        if (child.length == 0)
            break;
        children.push_back(child);
        p = Aligned(node, p + child.length);
    }
    return children;
}

TEST(VersionDetails, FixedPartSaysVersion1ForA32BitApplication)
{
    std::vector<BYTE> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x4u);
    EXPECT_EQ(fixed->dwFileType, 0x1u);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);
}

TEST(VersionDetails, TranslationThenExactlyTheFiveStrings)
{
    std::vector<BYTE> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    WORD* translation = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    ASSERT_EQ(size, 4u) << "one translation";
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const auto top = Children(block.data());
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].key, L"VarFileInfo") << "the translation list comes first";
    EXPECT_EQ(top[1].key, L"StringFileInfo");
    const auto tables = Children(top[1].at);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].key, L"040904B0");
    std::vector<std::pair<std::wstring, std::wstring>> strings;
    for (const VersionNode& entry : Children(tables[0].at))
        strings.push_back({entry.key, entry.value});
    const std::vector<std::pair<std::wstring, std::wstring>> expected{
        {L"ProductName", L"Project1"},   {L"FileVersion", L"1.00"},          {L"ProductVersion", L"1.00"},
        {L"InternalName", L"Project1"}, {L"OriginalFilename", L"Project1.exe"},
    };
    EXPECT_EQ(strings, expected);

    wchar_t* name = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename", reinterpret_cast<void**>(&name), &size));
    EXPECT_STREQ(name, L"Project1.exe");
}

TEST(Icon, GroupOneLoadsInBothSizes)
{
    HMODULE exe = LoadLibraryExW((BinDirectory() / L"Project1.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    for (int size : {16, 32}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(LoadImageW(exe, MAKEINTRESOURCEW(IDI_LAUNCHER), IMAGE_ICON, size, size, 0));
        const SIZE loaded = IconSize(icon);
        EXPECT_EQ(loaded.cx, size);
        EXPECT_EQ(loaded.cy, size);
        DestroyIcon(icon);
    }
    // Each size comes from its own image, not a scaled copy of the other.
    BYTE* group = static_cast<BYTE*>(
        LockResource(LoadResource(exe, FindResourceW(exe, MAKEINTRESOURCEW(IDI_LAUNCHER), RT_GROUP_ICON))));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(LookupIconIdFromDirectoryEx(group, TRUE, 16, 16, 0), IDI_LAUNCHER_SMALL);
    EXPECT_EQ(LookupIconIdFromDirectoryEx(group, TRUE, 32, 32, 0), IDI_LAUNCHER_LARGE);
    EXPECT_NE(LoadIconW(exe, MAKEINTRESOURCEW(IDI_LAUNCHER)), nullptr);
    FreeLibrary(exe);
}

}  // namespace
