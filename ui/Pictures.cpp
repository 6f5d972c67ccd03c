#include "ui/Pictures.h"

#include "BinaryData.h"
#include "BinaryData2x.h"

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

// The picture at twice its size of a picture of BinaryData is kept with the
// picture's pixels, so that it lives as long as they do (ImageCache would let
// it go a few seconds after its last paint, and decode it again at the next):
// first the index of its name in BinaryData::namedResourceList, then, once
// made, its pixels.
const juce::Identifier sharperIndexKey{"kestra.2x.index"};
const juce::Identifier sharperPixelsKey{"kestra.2x.pixels"};

int resourceIndexOf(const char* data)
{
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        int size = 0;
        if (BinaryData::getNamedResource(BinaryData::namedResourceList[i], size) == data)
            return i;
    }
    return -1;
}

bool hasSharper(int resourceIndex)
{
    int size = 0;
    return resourceIndex >= 0 && BinaryData2x::getNamedResource(
                                     BinaryData::namedResourceList[resourceIndex], size) != nullptr;
}

// Physical pixels to a logical pixel on the main display, as the desktop and
// the zoom have set them (on the message thread; 1 elsewhere).
float mainDisplayScale()
{
    if (!juce::MessageManager::existsAndIsCurrentThread())
        return 1.0f;
    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    return display != nullptr ? static_cast<float>(display->scale) : 1.0f;
}

// Shared through ImageCache, under the same key as ImageCache::getFromMemory
// uses, so that each picture exists once however many components show it.
juce::Image cachedImage(const char* data, int size, Decode decode)
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

juce::Image sharperImage(int resourceIndex, Decode decode)
{
    int size = 0;
    const auto* data =
        BinaryData2x::getNamedResource(BinaryData::namedResourceList[resourceIndex], size);
    return data != nullptr ? cachedImage(data, size, decode) : juce::Image();
}

void keepSharper(const juce::Image& picture, const juce::Image& sharp)
{
    if (auto* pixels = picture.getPixelData())
        if (auto* sharpPixels = sharp.getPixelData())
            pixels->userData.set(sharperPixelsKey, juce::var(sharpPixels));
}

// A picture of BinaryData. When the main display shows more than one pixel
// to a logical pixel and the picture has a 2x one, that one is decoded as
// asked instead, and the picture itself only when something draws it at 1x.
juce::Image image(const char* data, int size, Decode decode = Decode::whenFirstDrawn)
{
    const int index = resourceIndexOf(data);
    const bool sharper = hasSharper(index);
    juce::Image sharp;
    if (sharper && decode != Decode::whenFirstDrawn && mainDisplayScale() > 1.0f)
    {
        sharp = sharperImage(index, decode);
        decode = Decode::whenFirstDrawn;
    }
    auto picture = cachedImage(data, size, decode);
    if (sharper)
        if (auto* pixels = picture.getPixelData())
            if (!pixels->userData.contains(sharperIndexKey))
                pixels->userData.set(sharperIndexKey, index);
    if (sharp.isValid())
        keepSharper(picture, sharp);
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

juce::Image forScale(const juce::Image& picture, float physicalPixelsPerLogical)
{
    if (physicalPixelsPerLogical <= 1.0f || !picture.isValid())
        return picture;
    auto* pixels = picture.getPixelData();
    if (pixels == nullptr)
        return picture;
    if (auto* kept = pixels->userData.getVarPointer(sharperPixelsKey))
        if (auto* sharpPixels = dynamic_cast<juce::ImagePixelData*>(kept->getObject()))
            return juce::Image(sharpPixels);
    const auto* index = pixels->userData.getVarPointer(sharperIndexKey);
    if (index == nullptr)
        return picture;
    const int resourceIndex = *index;
    if (resourceIndex < 0 || resourceIndex >= BinaryData::namedResourceListSize)
        return picture;
    auto sharp = sharperImage(resourceIndex, Decode::whenFirstDrawn);
    if (sharp.getWidth() != 2 * picture.getWidth() || sharp.getHeight() != 2 * picture.getHeight())
        return picture; // cannot happen with our data
    keepSharper(picture, sharp);
    return sharp;
}

juce::Image forScale(const juce::Image& picture, juce::Graphics& g)
{
    return forScale(picture, g.getInternalContext().getPhysicalPixelScaleFactor());
}

// ---- components that draw them ------------------------------------------------------------

void PictureComponent::paint(juce::Graphics& g)
{
    const auto& picture = getImage();
    const auto sharp = forScale(picture, g);
    if (sharp == picture)
    {
        ImageComponent::paint(g);
        return;
    }
    // Where the picture goes at its own size, with the 2x one scaled into it.
    const auto placed = getImagePlacement().getTransformToFit(picture.getBounds().toFloat(),
                                                              getLocalBounds().toFloat());
    g.setOpacity(1.0f);
    g.drawImageTransformed(sharp, juce::AffineTransform::scale(0.5f).followedBy(placed));
}

namespace
{
// Draws an image button's picture as the button's own look-and-feel would,
// with the 2x picture where the screen has the pixels for it. The button's
// image bounds, and so its hit test, stay those of the picture at its own size.
class SharpPicturesLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    void drawImageButton(juce::Graphics& g, juce::Image* image, int x, int y, int w, int h,
                         const juce::Colour& overlay, float opacity,
                         juce::ImageButton& button) override
    {
        auto sharp = image != nullptr ? forScale(*image, g) : juce::Image();
        auto* parent = button.getParentComponent();
        auto& inherited = parent != nullptr ? parent->getLookAndFeel()
                                            : juce::LookAndFeel::getDefaultLookAndFeel();
        inherited.drawImageButton(g, image != nullptr ? &sharp : nullptr, x, y, w, h, overlay,
                                  opacity, button);
    }
};
} // namespace

struct PictureButton::Drawing
{
    juce::SharedResourcePointer<SharpPicturesLookAndFeel> lookAndFeel;
};

PictureButton::PictureButton() : drawing(std::make_unique<Drawing>())
{
    setLookAndFeel(&drawing->lookAndFeel.get());
}

PictureButton::~PictureButton()
{
    setLookAndFeel(nullptr);
}

bool PictureButton::keyPressed(const juce::KeyPress& key)
{
    const bool press = !key.getModifiers().isAnyModifierKeyDown() &&
                       (key.getKeyCode() == juce::KeyPress::spaceKey ||
                        key.getKeyCode() == juce::KeyPress::returnKey);
    if (!press)
        return ImageButton::keyPressed(key);
    if (isEnabled())
        triggerClick();
    return true;
}

#undef KESTRA_ALWAYS_SHOWN_BUTTON
#undef KESTRA_BUTTON
#undef KESTRA_SHOWN_AT_ONCE
#undef KESTRA_IMAGE

} // namespace kestra::pictures
