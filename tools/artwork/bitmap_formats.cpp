#include <algorithm>
#include <map>

#include "artwork.h"

namespace {

void Put16(Bytes& out, unsigned value)
{
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}
void Put32(Bytes& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutInfoHeader(Bytes& out, int width, int height, int bits, std::uint32_t imageSize, int pixelsPerMetre)
{
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, 0);  // no compression
    Put32(out, imageSize);
    Put32(out, pixelsPerMetre);
    Put32(out, pixelsPerMetre);
    Put32(out, 0);
    Put32(out, 0);
}

struct Rgb {
    std::uint8_t r, g, b;
    auto operator<=>(const Rgb&) const = default;
};

// Cairo keeps pixels premultiplied in native-endian 32-bit words.
Rgb PixelAt(cairo_surface_t* surface, int x, int y, std::uint8_t& alpha)
{
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const std::uint32_t word = reinterpret_cast<const std::uint32_t*>(row)[x];
    alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32 ? word >> 24 : 255;
    const auto unpremultiply = [&](std::uint32_t c) {
        return static_cast<std::uint8_t>(alpha ? std::min<std::uint32_t>(255, (c * 255 + alpha / 2) / alpha) : 0);
    };
    return {unpremultiply((word >> 16) & 0xFF), unpremultiply((word >> 8) & 0xFF), unpremultiply(word & 0xFF)};
}

int Distance(const Rgb& a, const Rgb& b)
{
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

}  // namespace

Bytes WindowPixels(cairo_surface_t* picture)
{
    cairo_surface_flush(picture);
    const int width = cairo_image_surface_get_width(picture);
    const int height = cairo_image_surface_get_height(picture);
    Bytes out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t alpha;
            const Rgb c = PixelAt(picture, x, y, alpha);
            out.insert(out.end(), {c.b, c.g, c.r, 0});
        }
    return out;
}

Bytes IconImage(cairo_surface_t* icon)
{
    cairo_surface_flush(icon);
    const int size = cairo_image_surface_get_width(icon);
    // Pixels at least half covered are opaque; the rest are transparent through the mask.
    std::vector<Rgb> colours(size * size);
    std::vector<bool> opaque(size * size);
    std::map<Rgb, int> counts;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            std::uint8_t alpha;
            colours[y * size + x] = PixelAt(icon, x, y, alpha);
            opaque[y * size + x] = alpha >= 128;
            if (opaque[y * size + x])
                ++counts[colours[y * size + x]];
        }
    // Entry 0 is black: transparent pixels show it under a set mask bit. The most frequent
    // colours take the other 255 entries; any rarer one maps to its nearest entry.
    std::vector<std::pair<int, Rgb>> byCount;
    for (const auto& [colour, count] : counts)
        byCount.push_back({-count, colour});
    std::sort(byCount.begin(), byCount.end());
    std::vector<Rgb> palette{{0, 0, 0}};
    for (const auto& entry : byCount)
        if (palette.size() < 256 && entry.second != Rgb{0, 0, 0})
            palette.push_back(entry.second);
    const auto nearest = [&](const Rgb& c) {
        int best = 0;
        for (int i = 1; i < static_cast<int>(palette.size()); ++i)
            if (Distance(palette[i], c) < Distance(palette[best], c))
                best = i;
        return best;
    };
    palette.resize(256, Rgb{0, 0, 0});

    const int maskRowBytes = ((size + 31) / 32) * 4;
    Bytes out;
    PutInfoHeader(out, size, size * 2, 8, size * size + maskRowBytes * size, 0);
    for (const Rgb& c : palette)
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x)
            out.push_back(opaque[y * size + x] ? nearest(colours[y * size + x]) : 0);
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(maskRowBytes, 0);
        for (int x = 0; x < size; ++x)
            if (!opaque[y * size + x])
                row[x / 8] |= 0x80 >> (x % 8);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

Bytes IconGroup(const Bytes& small, int smallId, const Bytes& large, int largeId)
{
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);  // icons
    Put16(out, 2);
    for (const auto& [image, size, id] : {std::tuple{&small, 16, smallId}, std::tuple{&large, 32, largeId}}) {
        out.insert(out.end(), {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size), 0, 0});
        Put16(out, 1);  // planes
        Put16(out, 8);  // bits per pixel
        Put32(out, static_cast<std::uint32_t>(image->size()));
        Put16(out, id);
    }
    return out;
}
