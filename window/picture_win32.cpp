#include "picture_win32.h"

#include <array>
#include <cstring>
#include <span>

#include "resources/picture_codec.h"
#include "resources/welcome_picture.h"

namespace {

// Takes the decoded bitmap file as it streams in: the headers first, then rows of 24-bit
// pixels padded to 4 bytes, which go into a 32-bit DIB, the screen's own format, so a paint
// copies them without converting and the picture is held once only.
class PictureBuilder {
public:
    void Take(std::span<const std::uint8_t> bytes)
    {
        while (!bytes.empty() && received_ < headers_.size()) {
            headers_[received_++] = bytes.front();
            bytes = bytes.subspan(1);
            if (received_ == headers_.size())
                Begin();
        }
        received_ += bytes.size();
        if (!pixels_)
            return;
        // Walks the rows: three colour bytes make a pixel; padding and anything past the last
        // row are passed over (a wrong total is refused in Finish).
        for (std::uint8_t byte : bytes) {
            if (row_ < size_t(height_) && column_ < size_t(width_) * 3) {
                pixel_[channel_] = byte;
                if (++channel_ == 3) {
                    channel_ = 0;
                    pixel_ += 4;
                }
            }
            if (++column_ == rowBytes_) {
                column_ = 0;
                ++row_;
            }
        }
    }
    UniqueBitmap Finish() { return pixels_ && received_ == pixelOffset_ + rowBytes_ * height_ ? std::move(bitmap_) : UniqueBitmap(); }

private:
    void Begin()
    {
        BITMAPFILEHEADER file;
        BITMAPINFOHEADER info;
        std::memcpy(&file, headers_.data(), sizeof file);
        std::memcpy(&info, headers_.data() + sizeof file, sizeof info);
        if (file.bfType != 0x4D42 || info.biSize != sizeof info || info.biBitCount != 24 || info.biCompression != BI_RGB ||
            info.biWidth <= 0 || info.biWidth > 4096 || info.biHeight <= 0 || info.biHeight > 4096 ||
            file.bfOffBits != headers_.size())
            return;
        width_ = info.biWidth;
        height_ = info.biHeight;
        rowBytes_ = ((size_t(width_) * 3 + 3) / 4) * 4;
        pixelOffset_ = file.bfOffBits;
        BITMAPINFO screenFormat{};
        screenFormat.bmiHeader = info;
        screenFormat.bmiHeader.biBitCount = 32;
        screenFormat.bmiHeader.biSizeImage = 0;
        void* pixels = nullptr;
        bitmap_ = UniqueBitmap(CreateDIBSection(nullptr, &screenFormat, DIB_RGB_COLORS, &pixels, nullptr, 0));
        if (bitmap_) {
            pixels_ = static_cast<std::uint32_t*>(pixels);
            pixel_ = static_cast<std::uint8_t*>(pixels);
        }
    }

    std::array<std::uint8_t, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)> headers_{};
    size_t received_ = 0, pixelOffset_ = 0, rowBytes_ = 0;
    int width_ = 0, height_ = 0;
    UniqueBitmap bitmap_;
    std::uint32_t* pixels_ = nullptr;
    std::uint8_t* pixel_ = nullptr;  // where the next colour byte goes
    size_t row_ = 0, column_ = 0, channel_ = 0;
};

}  // namespace

UniqueBitmap LoadWelcomePicture()
{
    PictureBuilder builder;
    const bool whole = DecodePictureStreaming(std::span(kWelcomePictureStream, kWelcomePictureStreamSize),
                                              [&](std::span<const std::uint8_t> bytes) { builder.Take(bytes); });
    return whole ? builder.Finish() : UniqueBitmap();
}
