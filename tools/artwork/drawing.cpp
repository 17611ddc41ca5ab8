#include <cmath>

#include "artwork.h"

namespace {

struct Colour {
    double r, g, b;
};
Colour Rgb255(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }
Colour FromColorRef(std::uint32_t bgr) { return Rgb255(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }
Colour Mix(Colour a, Colour b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
void SetColour(cairo_t* cr, Colour c, double alpha = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }
void AddStop(cairo_pattern_t* p, double at, Colour c, double alpha = 1)
{
    cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, alpha);
}

// The picture's fixed colours.
const Colour kTopLine = Rgb255(52, 150, 255);
const Colour kBandTop = Rgb255(9, 20, 56);
const Colour kBandBottom = Rgb255(16, 32, 80);
const Colour kField = FromColorRef(kWelcomeFieldColor);
const Colour kSeparatorPeak = Rgb255(170, 210, 255);
const Colour kPanelEdge = Rgb255(74, 118, 190);
const Colour kPanelCentre = Rgb255(112, 158, 222);
const Colour kPaleLine = Rgb255(178, 204, 240);
const Colour kDarkLine = Rgb255(30, 54, 108);

constexpr int kBandLastRow = 57;
constexpr int kPanelWidth = kWelcomeFieldLeft - 2;  // then a pale line and a dark one

// One row of pixels whose colour runs from `edge` at both ends to `peak` in the middle.
void FadingRow(cairo_t* cr, int y, Colour edge, Colour peak)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, kPictureWidth, 0);
    AddStop(p, 0, edge);
    AddStop(p, 0.5, peak);
    AddStop(p, 1, edge);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 0, y, kPictureWidth, 1);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void DrawBand(cairo_t* cr)
{
    SetColour(cr, kTopLine);
    cairo_rectangle(cr, 0, 0, kPictureWidth, 1);
    cairo_fill(cr);
    // Row by row, so every row of the band is one colour and the codec takes it whole.
    for (int y = 1; y <= kBandLastRow; ++y) {
        SetColour(cr, Mix(kBandTop, kBandBottom, (y - 1) / double(kBandLastRow - 1)));
        cairo_rectangle(cr, 0, y, kPictureWidth, 1);
        cairo_fill(cr);
    }
    FadingRow(cr, kBandLastRow + 1, kBandBottom, kSeparatorPeak);
    FadingRow(cr, kBandLastRow + 2, kField, Mix(kSeparatorPeak, kField, 0.35));

    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_select_font_face(cr, "DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 25);
    SetColour(cr, Rgb255(255, 255, 255));
    cairo_move_to(cr, 22, 37);
    cairo_show_text(cr, "Welcome to the Tolvanix Setup");
}

void DrawPanel(cairo_t* cr)
{
    // The glow varies across the panel only, so its rows repeat.
    cairo_pattern_t* glow = cairo_pattern_create_linear(0, 0, kPanelWidth, 0);
    AddStop(glow, 0, kPanelEdge);
    AddStop(glow, 0.5, kPanelCentre);
    AddStop(glow, 1, kPanelEdge);
    cairo_set_source(cr, glow);
    cairo_rectangle(cr, 0, kWelcomeFieldTop, kPanelWidth, kPictureHeight - kWelcomeFieldTop);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    SetColour(cr, kPaleLine);
    cairo_rectangle(cr, kPanelWidth, kWelcomeFieldTop, 1, kPictureHeight - kWelcomeFieldTop);
    cairo_fill(cr);
    SetColour(cr, kDarkLine);
    cairo_rectangle(cr, kPanelWidth + 1, kWelcomeFieldTop, 1, kPictureHeight - kWelcomeFieldTop);
    cairo_fill(cr);
}

void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void SoftShadow(cairo_t* cr, double cx, double cy, double rx, double ry)
{
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_pattern_t* p = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
    AddStop(p, 0, Rgb255(10, 25, 60), 0.45);
    AddStop(p, 1, Rgb255(10, 25, 60), 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);
}

void DrawComputer(cairo_t* cr)
{
    const Colour casing = Rgb255(226, 230, 238), casingShade = Rgb255(168, 176, 192), outline = Rgb255(40, 52, 80);
    cairo_set_line_width(cr, 1);
    SoftShadow(cr, 78, 252, 62, 9);

    // Stand and foot.
    cairo_move_to(cr, 70, 214);
    cairo_line_to(cr, 86, 214);
    cairo_line_to(cr, 92, 236);
    cairo_line_to(cr, 64, 236);
    cairo_close_path(cr);
    SetColour(cr, casingShade);
    cairo_fill_preserve(cr);
    SetColour(cr, outline);
    cairo_stroke(cr);
    RoundedRectangle(cr, 46.5, 234.5, 64, 8, 3);
    SetColour(cr, casing);
    cairo_fill_preserve(cr);
    SetColour(cr, outline);
    cairo_stroke(cr);

    // Monitor with a lit screen.
    RoundedRectangle(cr, 22.5, 132.5, 112, 84, 6);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 132, 0, 216);
    AddStop(body, 0, casing);
    AddStop(body, 1, casingShade);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    SetColour(cr, outline);
    cairo_stroke(cr);
    cairo_rectangle(cr, 31.5, 140.5, 94, 64);
    cairo_pattern_t* screen = cairo_pattern_create_linear(31, 140, 125, 204);
    AddStop(screen, 0, Rgb255(40, 120, 210));
    AddStop(screen, 1, Rgb255(12, 42, 110));
    cairo_set_source(cr, screen);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(screen);
    SetColour(cr, outline);
    cairo_stroke(cr);
    // A setup window on the screen, with a progress bar.
    RoundedRectangle(cr, 46, 152, 64, 40, 2);
    SetColour(cr, Rgb255(236, 240, 248));
    cairo_fill(cr);
    cairo_rectangle(cr, 46, 152, 64, 8);
    SetColour(cr, Rgb255(24, 64, 150));
    cairo_fill(cr);
    cairo_rectangle(cr, 52.5, 176.5, 52, 6);
    SetColour(cr, Rgb255(90, 100, 120));
    cairo_stroke(cr);
    cairo_rectangle(cr, 53, 177, 32, 5);
    SetColour(cr, Rgb255(60, 170, 80));
    cairo_fill(cr);
    // Screen gloss.
    cairo_move_to(cr, 32, 141);
    cairo_line_to(cr, 92, 141);
    cairo_line_to(cr, 32, 176);
    cairo_close_path(cr);
    SetColour(cr, Rgb255(255, 255, 255), 0.12);
    cairo_fill(cr);
    // Power light.
    cairo_arc(cr, 124, 210, 1.8, 0, 2 * M_PI);
    SetColour(cr, Rgb255(80, 220, 110));
    cairo_fill(cr);
}

void DrawDisc(cairo_t* cr)
{
    const double cx = 124, cy = 250, r = 30;
    SoftShadow(cr, cx + 3, cy + 26, 30, 6);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_pattern_t* silver = cairo_pattern_create_radial(cx - 10, cy - 12, 2, cx, cy, r);
    AddStop(silver, 0, Rgb255(250, 252, 255));
    AddStop(silver, 1, Rgb255(176, 186, 204));
    cairo_set_source(cr, silver);
    cairo_fill(cr);
    cairo_pattern_destroy(silver);
    // The rainbow sheen of a disc: thin translucent sectors.
    const Colour sheen[] = {Rgb255(255, 120, 160), Rgb255(255, 220, 110), Rgb255(120, 230, 170), Rgb255(110, 170, 255)};
    for (int i = 0; i < 4; ++i) {
        const double start = -0.9 + i * 0.22;
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, r - 2, start, start + 0.2);
        cairo_close_path(cr);
        SetColour(cr, sheen[i], 0.45);
        cairo_fill(cr);
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, r - 2, start + M_PI, start + M_PI + 0.2);
        cairo_close_path(cr);
        SetColour(cr, sheen[3 - i], 0.35);
        cairo_fill(cr);
    }
    cairo_set_line_width(cr, 1);
    cairo_arc(cr, cx, cy, r - 0.5, 0, 2 * M_PI);
    SetColour(cr, Rgb255(70, 84, 112));
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, 10, 0, 2 * M_PI);
    SetColour(cr, Rgb255(214, 222, 236));
    cairo_fill_preserve(cr);
    SetColour(cr, Rgb255(120, 132, 156));
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, 4, 0, 2 * M_PI);
    SetColour(cr, Mix(kPanelEdge, kPanelCentre, 0.6));
    cairo_fill_preserve(cr);
    SetColour(cr, Rgb255(90, 100, 124));
    cairo_stroke(cr);
}

}  // namespace

cairo_surface_t* DrawWelcomePicture()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPictureWidth, kPictureHeight);
    cairo_t* cr = cairo_create(surface);
    SetColour(cr, kField);
    cairo_paint(cr);
    DrawBand(cr);
    DrawPanel(cr);
    // Nothing of the drawing may reach the flat field, where the prompt and buttons stand.
    cairo_rectangle(cr, 0, kWelcomeFieldTop, kPanelWidth, kPictureHeight - kWelcomeFieldTop);
    cairo_clip(cr);
    DrawComputer(cr);
    DrawDisc(cr);
    cairo_destroy(cr);
    return surface;
}

cairo_surface_t* DrawIcon(int size)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, size / 32.0, size / 32.0);
    // Lines are thicker at 16 x 16, so the three arrows stay apart and readable.
    const bool tiny = size <= 16;
    const double shaft = tiny ? 5.0 : 4.2, headLength = tiny ? 10.0 : 8.5, headHalf = tiny ? 6.5 : 6.0;
    const Colour shades[3] = {Rgb255(168, 232, 120), Rgb255(58, 176, 64), Rgb255(14, 104, 42)};
    const Colour edge = Rgb255(8, 58, 24);
    const double cx = 16, cy = 17.5, radius = tiny ? 15.5 : 14;
    double vx[3], vy[3];
    for (int i = 0; i < 3; ++i) {
        const double angle = -M_PI / 2 + i * 2 * M_PI / 3;
        vx[i] = cx + radius * std::cos(angle);
        vy[i] = cy + radius * std::sin(angle);
    }
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const double dx = vx[j] - vx[i], dy = vy[j] - vy[i];
        const double length = std::hypot(dx, dy), ux = dx / length, uy = dy / length;
        const double nx = -uy, ny = ux;  // points away from the triangle's inside for this winding
        const double start = tiny ? 0.18 : 0.16;
        const double sx = vx[i] + ux * length * start, sy = vy[i] + uy * length * start;
        const double tipX = vx[i] + ux * length * 0.92, tipY = vy[i] + uy * length * 0.92;
        const double baseX = tipX - ux * headLength, baseY = tipY - uy * headLength;
        // Shaft and head as one outline, so it takes a single fill and a single edge.
        cairo_move_to(cr, sx + nx * shaft / 2, sy + ny * shaft / 2);
        cairo_line_to(cr, baseX + nx * shaft / 2, baseY + ny * shaft / 2);
        cairo_line_to(cr, baseX + nx * headHalf, baseY + ny * headHalf);
        cairo_line_to(cr, tipX, tipY);
        cairo_line_to(cr, baseX - nx * headHalf, baseY - ny * headHalf);
        cairo_line_to(cr, baseX - nx * shaft / 2, baseY - ny * shaft / 2);
        cairo_line_to(cr, sx - nx * shaft / 2, sy - ny * shaft / 2);
        cairo_close_path(cr);
        cairo_pattern_t* p = cairo_pattern_create_linear(sx, sy, tipX, tipY);
        AddStop(p, 0, Mix(shades[i], Rgb255(255, 255, 255), 0.15));
        AddStop(p, 1, shades[i]);
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
        SetColour(cr, edge);
        cairo_set_line_width(cr, tiny ? 1.6 : 1.1);
        cairo_stroke(cr);
    }
    cairo_destroy(cr);
    return surface;
}
