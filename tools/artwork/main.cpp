// Writes the launcher's artwork into the source tree:
//   resources/welcome_picture.tlz    the welcome picture, compressed as the executable carries it
//   resources/icon16.dib, icon32.dib the two icon images; resources/icon_group.bin their group
//   docs/welcome.png, docs/icon.png  previews to look at
// Usage: artwork SOURCE_DIR

#include <fstream>
#include <iostream>
#include <string>

#include "artwork.h"
#include "picture_encoder.h"
#include "resource_ids.h"

namespace {

bool Write(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::cout << "wrote " << path << " (" << bytes.size() << " bytes)\n";
    return static_cast<bool>(out);
}

// Paints an icon image as the executable carries it, enlarged, on a light and a dark ground.
cairo_surface_t* IconPreview(const Bytes& small, const Bytes& large)
{
    constexpr int kScale = 8;
    cairo_surface_t* preview = cairo_image_surface_create(CAIRO_FORMAT_RGB24, (16 + 32 + 3) * kScale * 2, 34 * kScale);
    cairo_t* cr = cairo_create(preview);
    for (int ground = 0; ground < 2; ++ground) {
        const double shade = ground ? 0.16 : 0.94;
        const int originX = ground * (16 + 32 + 3) * kScale;
        cairo_set_source_rgb(cr, shade, shade, shade);
        cairo_rectangle(cr, originX, 0, (16 + 32 + 3) * kScale, 34 * kScale);
        cairo_fill(cr);
        int left = originX + kScale;
        for (const Bytes* image : {&small, &large}) {
            const int size = (*image)[4];
            const unsigned char* palette = image->data() + 40;
            const unsigned char* colours = palette + 1024;
            const unsigned char* mask = colours + size * size;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const int row = size - 1 - y;
                    if (mask[row * 4 + x / 8] & (0x80 >> (x % 8)))
                        continue;
                    const unsigned char* c = palette + 4 * colours[row * size + x];
                    cairo_set_source_rgb(cr, c[2] / 255.0, c[1] / 255.0, c[0] / 255.0);
                    cairo_rectangle(cr, left + x * kScale, kScale + y * kScale, kScale, kScale);
                    cairo_fill(cr);
                }
            left += (size + 1) * kScale;
        }
    }
    cairo_destroy(cr);
    return preview;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: artwork SOURCE_DIR\n";
        return 2;
    }
    const std::string root = argv[1];

    cairo_surface_t* picture = DrawWelcomePicture();
    const Bytes pixels = WindowPixels(picture);
    const PictureSize size{kPictureWidth, kPictureHeight};
    const Bytes stream = EncodePicture(size, pixels);
    if (DecodedPixels(stream) != pixels) {
        std::cerr << "artwork: the compressed picture does not decode to the picture\n";
        return 1;
    }
    cairo_surface_t* small = DrawIcon(16);
    cairo_surface_t* large = DrawIcon(32);
    const Bytes smallImage = IconImage(small), largeImage = IconImage(large);

    const bool ok = Write(root + "/resources/welcome_picture.tlz", stream) &&
                    Write(root + "/resources/icon16.dib", smallImage) && Write(root + "/resources/icon32.dib", largeImage) &&
                    Write(root + "/resources/icon_group.bin",
                          IconGroup(smallImage, IDI_LAUNCHER_SMALL, largeImage, IDI_LAUNCHER_LARGE));
    cairo_surface_t* iconPreview = IconPreview(smallImage, largeImage);
    const bool previews = cairo_surface_write_to_png(picture, (root + "/docs/welcome.png").c_str()) == CAIRO_STATUS_SUCCESS &&
                          cairo_surface_write_to_png(iconPreview, (root + "/docs/icon.png").c_str()) == CAIRO_STATUS_SUCCESS;
    for (cairo_surface_t* s : {picture, small, large, iconPreview})
        cairo_surface_destroy(s);
    if (!ok || !previews) {
        std::cerr << "artwork: could not write every file\n";
        return 1;
    }
    return 0;
}
