#pragma once
// Draws the launcher's artwork with Cairo and puts it in the forms the executable carries.

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "welcome_picture.h"

using Bytes = std::vector<std::uint8_t>;

// The size the welcome picture is drawn at. The stream it is carried in states it, and everything
// else takes it from there.
inline constexpr int kPictureWidth = 686, kPictureHeight = 450;

// The welcome picture, RGB24: top line, navy band with the welcome line, separator, the panel
// with a computer and a disc, and the flat field where the prompt and buttons stand.
cairo_surface_t* DrawWelcomePicture();
// Three green arrows chasing each other around a triangle, ARGB32, drawn for this size.
cairo_surface_t* DrawIcon(int size);

// The picture as the window keeps it: blue, green, red and 0 for each pixel, rows from the top.
Bytes WindowPixels(cairo_surface_t* picture);
// An icon image: 40-byte header, 256-colour palette, 8-bit colour rows, 1-bit mask rows.
Bytes IconImage(cairo_surface_t* icon);
// The icon group directory for the two images, 16 x 16 first.
Bytes IconGroup(const Bytes& small, int smallId, const Bytes& large, int largeId);
