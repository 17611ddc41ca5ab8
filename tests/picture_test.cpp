// The welcome picture: the form and fixed colours of the bitmap file that the executable's stream
// decodes to, and the codec that carries it, including streams that are cut short or damaged.

#include <gtest/gtest.h>

#include "resources/picture_codec.h"
#include "resources/welcome_picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes CarriedStream() { return Bytes(kWelcomePictureStream, kWelcomePictureStream + kWelcomePictureStreamSize); }

// The picture the executable carries, decoded; empty when the stream is refused.
const Bytes& CarriedPicture()
{
    static const Bytes picture = DecodePicture(CarriedStream()).value_or(Bytes{});
    return picture;
}

std::uint32_t U32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24; }
std::uint16_t U16(const Bytes& b, size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << "(" << c.r << "," << c.g << "," << c.b << ")"; }

// Pixel at (x, y) counted from the picture's top-left corner; rows are stored bottom-up.
Rgb PixelAt(const Bytes& bmp, int x, int y)
{
    const size_t at = 54 + size_t(449 - y) * 2060 + size_t(x) * 3;
    return {bmp[at + 2], bmp[at + 1], bmp[at]};
}

TEST(WelcomePicture, IsA24BitBottomUpBitmapOf686By450)
{
    const Bytes& bmp = CarriedPicture();
    ASSERT_EQ(bmp.size(), 927054u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(U32(bmp, 2), 927054u);
    EXPECT_EQ(U32(bmp, 10), 54u);  // pixel data
    EXPECT_EQ(U32(bmp, 14), 40u);  // information header
    EXPECT_EQ(U32(bmp, 18), 686u);
    EXPECT_EQ(U32(bmp, 22), 450u);  // positive: bottom-up
    EXPECT_EQ(U16(bmp, 26), 1);
    EXPECT_EQ(U16(bmp, 28), 24);
    EXPECT_EQ(U32(bmp, 30), 0u);  // no compression
    EXPECT_EQ(U32(bmp, 38), 2834u);
    EXPECT_EQ(U32(bmp, 42), 2834u);
    EXPECT_EQ(U32(bmp, 46), 0u);  // no palette
    for (int row = 0; row < 450; ++row)  // the two padding bytes after 2058 bytes of colour
        ASSERT_EQ(bmp[54 + row * 2060 + 2058] | bmp[54 + row * 2060 + 2059], 0) << row;
}

TEST(WelcomePicture, HoldsItsFixedColoursWhereThePromptAndButtonsStand)
{
    const Bytes& bmp = CarriedPicture();
    ASSERT_EQ(bmp.size(), 927054u);
    const Rgb field{61, 102, 171};
    // The whole flat field, from x = 170 and y = 60, is one colour.
    for (int y = 60; y < 450; ++y)
        for (int x = 170; x < 686; ++x)
            ASSERT_EQ(PixelAt(bmp, x, y), field) << "at " << x << "," << y;
    // Where the window's code and the other tests take the picture's field to be.
    EXPECT_EQ(kWelcomeFieldColor, std::uint32_t(field.b << 16 | field.g << 8 | field.r));
    EXPECT_EQ(kWelcomeFieldLeft, 170);
    EXPECT_EQ(kWelcomeFieldTop, 60);
    EXPECT_EQ(kWelcomePictureWidth, 686);
    EXPECT_EQ(kWelcomePictureHeight, 450);

    const Rgb top = PixelAt(bmp, 300, 0);
    EXPECT_GT(top.b, 200) << "the top line is bright blue";
    EXPECT_EQ(PixelAt(bmp, 0, 0), top);
    EXPECT_EQ(PixelAt(bmp, 685, 0), top);
    for (int y : {1, 30, 57}) {  // dark navy band, away from the welcome line
        const Rgb band = PixelAt(bmp, 680, y);
        EXPECT_LT(band.r + band.g, 80) << y;
        EXPECT_GT(band.b, band.r) << y;
    }
    // The separator is brightest in the middle and fades towards both sides.
    for (int y : {58, 59}) {
        const Rgb middle = PixelAt(bmp, 343, y), quarter = PixelAt(bmp, 171, y), side = PixelAt(bmp, 2, y);
        EXPECT_GT(middle.r + middle.g + middle.b, quarter.r + quarter.g + quarter.b) << y;
        EXPECT_GT(quarter.r + quarter.g + quarter.b, side.r + side.g + side.b) << y;
    }
    // The panel is lighter than the field, and bounded by a pale and then a darker line.
    const Rgb panel = PixelAt(bmp, 84, 420), pale = PixelAt(bmp, 168, 300), dark = PixelAt(bmp, 169, 300);
    EXPECT_GT(panel.r + panel.g + panel.b, field.r + field.g + field.b);
    EXPECT_GT(pale.r + pale.g + pale.b, panel.r + panel.g + panel.b);
    EXPECT_LT(dark.r + dark.g + dark.b, field.r + field.g + field.b);
    // White welcome text lies somewhere in the band.
    bool white = false;
    for (int y = 1; y <= 57 && !white; ++y)
        for (int x = 0; x < 686 && !white; ++x)
            white = PixelAt(bmp, x, y) == Rgb{255, 255, 255};
    EXPECT_TRUE(white);
}

TEST(PictureCodec, TheCarriedPictureEncodedAgainDecodesToItself)
{
    ASSERT_EQ(CarriedPicture().size(), 927054u) << "the carried stream is refused or decodes to another size";
    EXPECT_TRUE(DecodePicture(EncodePicture(CarriedPicture())) == CarriedPicture());
    EXPECT_LT(kWelcomePictureStreamSize, 64u * 1024u) << "the picture no longer fits the executable's budget";
}

TEST(PictureCodec, RoundTripsAwkwardInputs)
{
    const Bytes cases[] = {
        {},
        {7},
        {1, 2, 3},
        Bytes(100000, 0xAB),            // one long run: a match that overlaps itself
        Bytes{1, 2, 3, 4, 5, 6, 7, 8},  // nothing to match
    };
    for (const Bytes& input : cases)
        EXPECT_EQ(DecodePicture(EncodePicture(input)), input) << input.size();
    Bytes far;  // a match reaching back the longest distance the format has
    for (int i = 0; i < 65535; ++i)
        far.push_back(static_cast<std::uint8_t>((i * 2654435761u) >> 24));
    far.insert(far.end(), far.begin(), far.begin() + 5000);
    EXPECT_EQ(DecodePicture(EncodePicture(far)), far);
    Bytes mixed;
    for (int i = 0; i < 200000; ++i)  // long literal runs between far matches
        mixed.push_back(static_cast<std::uint8_t>((i * 7919) % 251 ^ (i / 70000)));
    EXPECT_EQ(DecodePicture(EncodePicture(mixed)), mixed);
}

TEST(PictureCodec, StreamsTheSameBytesInOrderInChunks)
{
    Bytes streamed;
    size_t chunks = 0;
    ASSERT_TRUE(DecodePictureStreaming(CarriedStream(), [&](std::span<const std::uint8_t> bytes) {
        streamed.insert(streamed.end(), bytes.begin(), bytes.end());
        ++chunks;
    }));
    EXPECT_TRUE(streamed == CarriedPicture());
    EXPECT_GT(chunks, 100u) << "the picture was handed over whole, not as it came";
}

TEST(PictureCodec, RefusesEveryTruncationOfTheCarriedStream)
{
    const Bytes stream = CarriedStream();
    for (size_t length = 0; length < stream.size(); length += (length < 64 ? 1 : 97))
        ASSERT_FALSE(DecodePicture(std::span(stream.data(), length)).has_value()) << "cut at " << length;
    ASSERT_FALSE(DecodePicture(std::span(stream.data(), stream.size() - 1)).has_value());
    Bytes longer = stream;
    longer.push_back(0);
    EXPECT_FALSE(DecodePicture(longer).has_value()) << "trailing bytes are accepted";
}

TEST(PictureCodec, RefusesDamagedStreams)
{
    // Damage is refused, or is harmless: a match distance that lands on the same bytes (a row
    // of the flat field a row further back) still gives the very picture. Never a wrong one.
    const Bytes stream = CarriedStream();
    int refused = 0;
    for (size_t at = 0; at < stream.size(); at += 41) {
        for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            Bytes damaged = stream;
            damaged[at] ^= flip;
            const auto decoded = DecodePicture(damaged);
            refused += !decoded.has_value();
            if (decoded) {
                ASSERT_TRUE(*decoded == CarriedPicture()) << "a damaged stream gave another picture, at " << at;
            }
        }
    }
    EXPECT_GT(refused, 0);

    // A distance reaching before the start, and a size beyond any picture.
    Bytes reachBack = EncodePicture(Bytes(64, 5));
    reachBack[12 + 1 + 1] = 0xFF;  // token, one literal, then the distance's low byte
    reachBack[12 + 1 + 2] = 0xFF;
    EXPECT_FALSE(DecodePicture(reachBack).has_value());
    Bytes huge = stream;
    huge[7] = 0x7F;
    EXPECT_FALSE(DecodePicture(huge).has_value());
}

}  // namespace
