#include "form_description.h"

#include <algorithm>

const FormDescription& LauncherForm() { return kLauncherForm; }

namespace {
// numerator / denominator to the nearest whole number, halves upwards; the geometry is never
// negative.
int RoundedRatio(std::int64_t numerator, std::int64_t denominator)
{
    return static_cast<int>((2 * numerator + denominator) / (2 * denominator));
}
}  // namespace

int TwipsToPixels(std::int32_t twips, int dpi) { return RoundedRatio(std::int64_t{twips} * dpi, 1440); }

PixelRect ControlPixels(const ControlDescription& control, int dpiX, int dpiY)
{
    const int left = TwipsToPixels(control.leftTwips, dpiX);
    const int top = TwipsToPixels(control.topTwips, dpiY);
    const int right = TwipsToPixels(std::int32_t{control.leftTwips} + control.widthTwips, dpiX);
    const int bottom = TwipsToPixels(std::int32_t{control.topTwips} + control.heightTwips, dpiY);
    return {left, top, right - left, bottom - top};
}

PixelSize ClientPixels(const FormDescription& form, int dpiX, int dpiY)
{
    return {TwipsToPixels(form.clientWidthTwips, dpiX), TwipsToPixels(form.clientHeightTwips, dpiY)};
}

int FontHeightPixels(const FontDescription& font, int dpiY)
{
    return RoundedRatio(std::int64_t{font.sizeTenThousandthsPoint} * dpiY, 72 * 10000);
}

std::vector<const ControlDescription*> TabSequence(const FormDescription& form)
{
    // Tab indices are unique within the window, so the order is total.
    std::vector<const ControlDescription*> sequence;
    for (const ControlDescription& control : form.controls)
        if (control.kind != ControlKind::Label)
            sequence.push_back(&control);
    std::sort(sequence.begin(), sequence.end(),
              [](const ControlDescription* a, const ControlDescription* b) { return a->tabIndex < b->tabIndex; });
    return sequence;
}

const ControlDescription* InitialFocus(const FormDescription& form)
{
    const auto sequence = TabSequence(form);
    return sequence.empty() ? nullptr : sequence.front();
}
