// The welcome picture: its size, form and fixed colours as the executable's stream decodes them,
// and the codec that carries it, including streams that are cut short or damaged.

#include <gtest/gtest.h>

#include <iterator>

#include "picture_codec.h"
#include "picture_encoder.h"
#include "welcome_picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes CarriedStream() { return Bytes(kWelcomePictureStream, kWelcomePictureStream + kWelcomePictureStreamSize); }

// The picture the executable carries, decoded; empty when the stream is refused.
const Bytes& CarriedPicture()
{
    static const Bytes picture = DecodedPixels(CarriedStream()).value_or(Bytes{});
    return picture;
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << "(" << c.r << "," << c.g << "," << c.b << ")"; }

// Pixel at (x, y) from the picture's top-left corner: blue, green, red, 0; rows from the top.
Rgb PixelAt(const Bytes& pixels, int x, int y)
{
    const size_t at = (size_t(y) * 686 + size_t(x)) * 4;
    return {pixels[at + 2], pixels[at + 1], pixels[at]};
}

// The Adler-32 of a stream's payload written into its header again, so that damage on purpose
// reaches the decoder's other checks.
void Reseal(Bytes& stream)
{
    const std::uint32_t sum = picture_stream::Adler32(std::span(stream).subspan(picture_stream::kHeaderSize));
    for (int i = 0; i < 4; ++i)
        stream[8 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
}

TEST(WelcomePicture, Is686By450PixelsInTheWindowsOwnForm)
{
    EXPECT_EQ(PictureSizeOf(CarriedStream()), (PictureSize{686, 450}));
    const Bytes& pixels = CarriedPicture();
    ASSERT_EQ(pixels.size(), 686u * 450u * 4u) << "the carried stream is refused or decodes to another size";
    for (size_t at = 3; at < pixels.size(); at += 4)  // blue, green, red and an unused 0
        ASSERT_EQ(pixels[at], 0) << "pixel " << at / 4;
}

TEST(WelcomePicture, HoldsItsFixedColoursWhereThePromptAndButtonsStand)
{
    const Bytes& bmp = CarriedPicture();
    ASSERT_EQ(bmp.size(), 686u * 450u * 4u);
    const Rgb field{61, 102, 171};
    // The whole flat field, from x = 170 and y = 60, is one colour.
    for (int y = 60; y < 450; ++y)
        for (int x = 170; x < 686; ++x)
            ASSERT_EQ(PixelAt(bmp, x, y), field) << "at " << x << "," << y;
    // Where the window's code and the other tests take the picture's field to be.
    EXPECT_EQ(kWelcomeFieldColor, std::uint32_t(field.b << 16 | field.g << 8 | field.r));
    EXPECT_EQ(kWelcomeFieldLeft, 170);
    EXPECT_EQ(kWelcomeFieldTop, 60);

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
    ASSERT_FALSE(CarriedPicture().empty()) << "the carried stream is refused";
    EXPECT_TRUE(DecodedPixels(EncodePicture({686, 450}, CarriedPicture())) == CarriedPicture());
    EXPECT_LT(kWelcomePictureStreamSize, 64u * 1024u) << "the picture no longer fits the executable's budget";
}

TEST(PictureCodec, RoundTripsAwkwardInputs)
{
    const auto pixels = [](int count, auto byteAt) {
        Bytes out(size_t(count) * 4);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(byteAt(i));
        return out;
    };
    const struct {
        PictureSize size;
        Bytes pixels;
    } cases[] = {
        {{1, 1}, {7, 8, 9, 0}},
        {{3, 1}, pixels(3, [](size_t i) { return i * 37; })},                 // nothing to match
        {{250, 100}, pixels(25000, [](size_t i) { return i % 4 ? 0xAB : 0; })},  // one long run that overlaps itself
        {{100, 200}, pixels(20000, [](size_t i) { return (i * 7919) % 251 ^ (i / 70000); })},  // literals between far matches
        {{4096, 1}, pixels(4096, [](size_t i) { return (i * 2654435761u) >> 24; })},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodedPixels(EncodePicture(c.size, c.pixels)), c.pixels) << c.size.width << " x " << c.size.height;
    // A match reaching back the longest distance the format has.
    Bytes far = pixels(16384, [](size_t i) { return (i * 2654435761u) >> 24; });
    std::copy(far.begin(), far.begin() + 5000, far.end() - 5000 - 4);
    EXPECT_EQ(DecodedPixels(EncodePicture({128, 128}, far)), far);
}

TEST(PictureCodec, RefusesEveryTruncationOfTheCarriedStream)
{
    const Bytes stream = CarriedStream();
    for (size_t length = 0; length < stream.size(); length += (length < 64 ? 1 : 97))
        ASSERT_FALSE(DecodedPixels(std::span(stream.data(), length)).has_value()) << "cut at " << length;
    ASSERT_FALSE(DecodedPixels(std::span(stream.data(), stream.size() - 1)).has_value());
    Bytes longer = stream;
    longer.push_back(0);
    EXPECT_FALSE(DecodedPixels(longer).has_value()) << "trailing bytes are accepted";
    Bytes resealed = longer;
    Reseal(resealed);
    EXPECT_FALSE(DecodedPixels(resealed).has_value()) << "trailing bytes under a good checksum are accepted";
}

// A stream of the given size made of `payload`, the sequences after the header, with its checksum.
Bytes StreamOf(PictureSize size, const Bytes& payload)
{
    Bytes stream(picture_stream::kHeaderSize + payload.size());
    std::copy(std::begin(picture_stream::kMagic), std::end(picture_stream::kMagic), stream.begin());
    stream[4] = static_cast<std::uint8_t>(size.width), stream[5] = static_cast<std::uint8_t>(size.width >> 8);
    stream[6] = static_cast<std::uint8_t>(size.height), stream[7] = static_cast<std::uint8_t>(size.height >> 8);
    std::copy(payload.begin(), payload.end(), stream.begin() + picture_stream::kHeaderSize);
    Reseal(stream);
    return stream;
}

// Four literals, then a match of `length` bytes from `distance` bytes back, then an empty last
// sequence.
Bytes LiteralsThenMatch(std::size_t distance, std::size_t length)
{
    return {static_cast<std::uint8_t>(4 << 4 | (length - picture_stream::kMinMatch)), 1, 2, 3, 4,
            static_cast<std::uint8_t>(distance), static_cast<std::uint8_t>(distance >> 8), 0};
}

// Decodes into pixels that have a guard byte on either side, which the decoder must never touch.
bool DecodesWithinGuards(const Bytes& stream)
{
    const std::optional<PictureSize> size = PictureSizeOf(stream);
    Bytes guarded(size->Bytes() + 2, 0xA5);
    const bool decoded = DecodePicture(stream, std::span(guarded).subspan(1, size->Bytes()));
    EXPECT_EQ(guarded.front(), 0xA5) << "the decoder wrote before the pixels";
    EXPECT_EQ(guarded.back(), 0xA5) << "the decoder wrote past the pixels";
    return decoded;
}

TEST(PictureCodec, HoldsMatchesWithinThePixelsToTheByte)
{
    // Four literals and a match that reaches back to the very first byte decode; one byte further
    // back is before the start.
    EXPECT_TRUE(DecodesWithinGuards(StreamOf({2, 1}, LiteralsThenMatch(4, 4))));
    EXPECT_FALSE(DecodesWithinGuards(StreamOf({2, 1}, LiteralsThenMatch(5, 4)))) << "a match from one byte before the start";
    // A match that fills the pixels to their last byte decodes; one byte longer runs past them.
    EXPECT_TRUE(DecodesWithinGuards(StreamOf({3, 1}, LiteralsThenMatch(4, 8))));
    EXPECT_FALSE(DecodesWithinGuards(StreamOf({3, 1}, LiteralsThenMatch(4, 9)))) << "a match one byte past the end";
}

TEST(PictureCodec, RefusesDamagedStreams)
{
    // Any change of a stream is refused, never decoded into another picture: every byte of the
    // header, the whole of the checksum among them, and bytes all through the rest.
    const Bytes stream = CarriedStream();
    for (size_t at = 0; at < picture_stream::kHeaderSize; ++at)
        for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            Bytes damaged = stream;
            damaged[at] ^= flip;
            ASSERT_FALSE(DecodedPixels(damaged).has_value()) << "a damaged header was taken, at " << at;
        }
    for (size_t at = 0; at < stream.size(); at += 41)
        for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            Bytes damaged = stream;
            damaged[at] ^= flip;
            ASSERT_FALSE(DecodedPixels(damaged).has_value()) << "a damaged stream was taken, at " << at;
        }

    // Damage under a good checksum meets the decoder's own checks: a distance reaching before the
    // start, a match and literals running past the picture's end, and sizes beyond any picture.
    const Bytes small = EncodePicture({2, 2}, Bytes(16, 5));  // some literals, then one short match
    const size_t token = picture_stream::kHeaderSize, literals = small[token] >> 4;
    ASSERT_LT(literals, 15u);
    ASSERT_LT(small[token] & 0x0F, 14);
    Bytes reachBack = small;
    reachBack[token + 1 + literals] = 0xFF;  // the distance, after the token and the literals
    reachBack[token + 2 + literals] = 0xFF;
    Reseal(reachBack);
    EXPECT_FALSE(DecodedPixels(reachBack).has_value()) << "a distance before the start";
    Bytes pastTheEnd = small;
    ++pastTheEnd[token];  // the match one byte longer than the picture leaves room for
    Reseal(pastTheEnd);
    EXPECT_FALSE(DecodedPixels(pastTheEnd).has_value()) << "a match past the end";
    for (int byte : {4, 5, 6, 7}) {
        Bytes huge = stream;
        huge[byte] = 0xFF;
        EXPECT_FALSE(DecodedPixels(huge).has_value()) << "a size beyond any picture, byte " << byte;
    }
    Bytes pixels(686u * 450u * 4u);
    EXPECT_FALSE(DecodePicture(stream, std::span(pixels).first(pixels.size() - 4))) << "pixels of another size";
}

}  // namespace
