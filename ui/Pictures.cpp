#include "ui/Pictures.h"

#include "BinaryData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <system_error>

namespace kestra::pictures
{

namespace
{
// The size and pixel format of a PNG, read from its header without decoding
// it: RGBA, grey with alpha or a transparency chunk give ARGB (as JUCE's PNG
// reader decides), anything else RGB.
struct PngHeader
{
    int width = 0, height = 0;
    juce::Image::PixelFormat format = juce::Image::RGB;
};

std::optional<PngHeader> readPngHeader(const char* data, int size)
{
    static constexpr unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const auto length = static_cast<size_t>(std::max(size, 0));
    if (length < 33 || std::memcmp(bytes, signature, sizeof(signature)) != 0 ||
        std::memcmp(bytes + 12, "IHDR", 4) != 0)
        return std::nullopt;
    const auto word = [bytes](size_t at)
    {
        return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) |
               (uint32_t(bytes[at + 2]) << 8) | uint32_t(bytes[at + 3]);
    };
    PngHeader header;
    const auto width = word(16), height = word(20);
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return std::nullopt;
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
    const auto colourType = bytes[25];
    if ((colourType & 4) != 0)
        header.format = juce::Image::ARGB;
    // The chunks before the pixel data: a transparency chunk adds alpha.
    for (size_t at = 8; at + 8 <= length;)
    {
        const auto chunkLength = static_cast<size_t>(word(at));
        if (std::memcmp(bytes + at + 4, "tRNS", 4) == 0)
            header.format = juce::Image::ARGB;
        if (std::memcmp(bytes + at + 4, "IDAT", 4) == 0 || chunkLength > length)
            break;
        at += 12 + chunkLength;
    }
    return header;
}

// A picture whose pixels are decoded when something first reads them: the
// buttons' mouse-over and pressed pictures, and the pages not shown yet, cost
// nothing at start-up. Size and format are known from the header at once.
// With decodeNow, the decoding starts at once on a thread of its own (the
// background, which the first paint needs, decodes beside the building of
// the controls).
class DeferredPicture final : public juce::ImagePixelData
{
public:
    DeferredPicture(const char* pngData, int pngSize, const PngHeader& header, bool decodeNow)
        : ImagePixelData(header.format, header.width, header.height), data(pngData), size(pngSize)
    {
        if (decodeNow)
        {
            try
            {
                pending = std::async(
                    std::launch::async, [pngData, pngSize]
                    { return juce::ImageFileFormat::loadFrom(pngData, size_t(pngSize)); });
            }
            catch (const std::system_error&)
            {
                // No thread to be had: it decodes when first drawn, like the rest.
            }
        }
    }

    std::unique_ptr<juce::LowLevelGraphicsContext> createLowLevelContext() override
    {
        return decoded().getPixelData()->createLowLevelContext();
    }

    void initialiseBitmapData(juce::Image::BitmapData& bitmap, int x, int y,
                              juce::Image::BitmapData::ReadWriteMode mode) override
    {
        decoded().getPixelData()->initialiseBitmapData(bitmap, x, y, mode);
    }

    Ptr clone() override { return decoded().getPixelData()->clone(); }

    std::unique_ptr<juce::ImageType> createType() const override
    {
        return std::make_unique<juce::SoftwareImageType>();
    }

private:
    juce::Image& decoded()
    {
        const std::scoped_lock lock(mutex);
        if (image.isNull())
        {
            auto result = pending.valid()
                              ? pending.get()
                              : juce::ImageFileFormat::loadFrom(data, static_cast<size_t>(size));
            if (result.isNull() || result.getWidth() != width || result.getHeight() != height)
                result =
                    juce::Image(pixelFormat, width, height, true); // cannot happen with our data
            image = result.convertedToFormat(pixelFormat);         // the same image when it matches
        }
        return image;
    }

    const char* const data;
    const int size;
    std::mutex mutex;
    std::future<juce::Image> pending;
    juce::Image image;
};

// When a picture's pixels are decoded.
enum class Decode
{
    whenFirstDrawn,
    now,         // always on screen from the start: before the first paint waits for the background
    onOwnThread, // starts at once, beside the caller
};

// Shared through ImageCache, under the same key as ImageCache::getFromMemory
// uses, so that each picture exists once however many components show it.
juce::Image image(const char* data, int size, Decode decode = Decode::whenFirstDrawn)
{
    if (decode == Decode::now)
        return juce::ImageCache::getFromMemory(data, size);
    const auto key = static_cast<juce::int64>(reinterpret_cast<juce::pointer_sized_int>(data));
    auto cached = juce::ImageCache::getFromHashCode(key);
    if (cached.isValid())
        return cached;
    const auto header = readPngHeader(data, size);
    if (!header)
        return juce::ImageCache::getFromMemory(data, size);
    juce::Image picture(new DeferredPicture(data, size, *header, decode == Decode::onOwnThread));
    juce::ImageCache::addImageToCache(picture, key);
    return picture;
}

#define KESTRA_IMAGE(name) image(BinaryData::name, BinaryData::name##Size)
#define KESTRA_SHOWN_AT_ONCE(name) image(BinaryData::name, BinaryData::name##Size, Decode::now)
#define KESTRA_BUTTON(name)                                                                        \
    ButtonImages                                                                                   \
    {                                                                                              \
        KESTRA_IMAGE(name##_off_png), KESTRA_IMAGE(name##_ovr_png), KESTRA_IMAGE(name##_on_png)    \
    }
} // namespace

juce::Image background()
{
    return image(BinaryData::bg_png, BinaryData::bg_pngSize, Decode::onOwnThread);
}

juce::Image connectedOff()
{
    return KESTRA_IMAGE(connected_off_png);
}

juce::Image connectedOn()
{
    return KESTRA_IMAGE(connected_on_png);
}

// The toolbar and the page list are always on screen: their normal pictures
// are decoded at once.
#define KESTRA_ALWAYS_SHOWN_BUTTON(name)                                                           \
    ButtonImages                                                                                   \
    {                                                                                              \
        KESTRA_SHOWN_AT_ONCE(name##_off_png), KESTRA_IMAGE(name##_ovr_png),                        \
            KESTRA_IMAGE(name##_on_png)                                                            \
    }

std::array<ButtonImages, 6> toolbar()
{
    return {KESTRA_ALWAYS_SHOWN_BUTTON(open),    KESTRA_ALWAYS_SHOWN_BUTTON(save),
            KESTRA_ALWAYS_SHOWN_BUTTON(connect), KESTRA_ALWAYS_SHOWN_BUTTON(store),
            KESTRA_ALWAYS_SHOWN_BUTTON(reset),   KESTRA_ALWAYS_SHOWN_BUTTON(tonewheel)};
}

std::array<ButtonImages, 6> pageButtons()
{
    return {KESTRA_ALWAYS_SHOWN_BUTTON(tonegen),   KESTRA_ALWAYS_SHOWN_BUTTON(vibcho),
            KESTRA_ALWAYS_SHOWN_BUTTON(overdrive), KESTRA_ALWAYS_SHOWN_BUTTON(rotary),
            KESTRA_ALWAYS_SHOWN_BUTTON(reverb),    KESTRA_ALWAYS_SHOWN_BUTTON(addfunc)};
}

std::array<juce::Image, 6> pageIcons()
{
    return {KESTRA_IMAGE(tonegen_icon_png),   KESTRA_IMAGE(vibcho_icon_png),
            KESTRA_IMAGE(overdrive_icon_png), KESTRA_IMAGE(rotary_icon_png),
            KESTRA_IMAGE(reverb_icon_png),    KESTRA_IMAGE(addfunc_icon_png)};
}

ButtonImages viewTab(View view)
{
    switch (view)
    {
    case View::main:
        return KESTRA_BUTTON(main);
    case View::drawbar:
        return KESTRA_BUTTON(drawbar);
    case View::classic:
        return KESTRA_BUTTON(classic);
    case View::rock:
        return KESTRA_BUTTON(rock);
    case View::common:
        break;
    }
    return KESTRA_BUTTON(common);
}

ButtonImages load()
{
    return KESTRA_BUTTON(load);
}

#undef KESTRA_ALWAYS_SHOWN_BUTTON
#undef KESTRA_BUTTON
#undef KESTRA_SHOWN_AT_ONCE
#undef KESTRA_IMAGE

} // namespace kestra::pictures
