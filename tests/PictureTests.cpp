// The pictures as the components get them: decoded when first drawn, they
// must be exactly what decoding the embedded PNG at once gives.

#include "support/GuiTestSupport.h"

#include "BinaryData.h"
#include "BinaryData2x.h"
#include "ui/Pictures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

KESTRA_JUCE_TEST_ENVIRONMENT;

namespace kestra
{
namespace
{

struct Shown
{
    std::string name;
    juce::Image image;
    const char* data;
    int size;
};

#define KESTRA_SHOWN(picture, resource)                                                            \
    Shown                                                                                          \
    {                                                                                              \
#resource, picture, BinaryData::resource, BinaryData::resource##Size                       \
    }

std::vector<Shown> shownPictures()
{
    const auto toolbar = pictures::toolbar();
    const auto pages = pictures::pageButtons();
    const auto icons = pictures::pageIcons();
    const auto main = pictures::viewTab(pictures::View::main);
    const auto rock = pictures::viewTab(pictures::View::rock);
    const auto load = pictures::load();
    return {
        KESTRA_SHOWN(pictures::background(), bg_png),
        KESTRA_SHOWN(pictures::connectedOff(), connected_off_png),
        KESTRA_SHOWN(pictures::connectedOn(), connected_on_png),
        KESTRA_SHOWN(toolbar[0].off, open_off_png),
        KESTRA_SHOWN(toolbar[2].over, connect_ovr_png),
        KESTRA_SHOWN(toolbar[5].on, tonewheel_on_png),
        KESTRA_SHOWN(pages[0].on, tonegen_on_png),
        KESTRA_SHOWN(pages[5].over, addfunc_ovr_png),
        KESTRA_SHOWN(icons[0], tonegen_icon_png),
        KESTRA_SHOWN(icons[3], rotary_icon_png),
        KESTRA_SHOWN(main.off, main_off_png),
        KESTRA_SHOWN(rock.on, rock_on_png),
        KESTRA_SHOWN(load.over, load_ovr_png),
    };
}

#undef KESTRA_SHOWN

TEST(Pictures, EachIsPixelForPixelTheDecodedPng)
{
    for (const auto& shown : shownPictures())
    {
        SCOPED_TRACE(shown.name);
        const auto expected =
            juce::ImageFileFormat::loadFrom(shown.data, static_cast<size_t>(shown.size));
        ASSERT_TRUE(expected.isValid());
        // Size and format, before anything has read a pixel.
        ASSERT_EQ(shown.image.getWidth(), expected.getWidth());
        ASSERT_EQ(shown.image.getHeight(), expected.getHeight());
        ASSERT_EQ(shown.image.getFormat(), expected.getFormat());

        const juce::Image::BitmapData got(shown.image, juce::Image::BitmapData::readOnly);
        const juce::Image::BitmapData want(expected, juce::Image::BitmapData::readOnly);
        int differing = 0;
        for (int y = 0; y < expected.getHeight(); ++y)
            for (int x = 0; x < expected.getWidth(); ++x)
                differing += got.getPixelColour(x, y) != want.getPixelColour(x, y) ? 1 : 0;
        EXPECT_EQ(differing, 0);
    }
}

TEST(Pictures, DrawnIntoAnImageTheyGiveTheSamePixels)
{
    const auto expected = juce::ImageFileFormat::loadFrom(
        BinaryData::bg_png, static_cast<size_t>(BinaryData::bg_pngSize));
    juce::Image viaPicture(juce::Image::ARGB, 1024, 685, true);
    juce::Image viaDecoded(juce::Image::ARGB, 1024, 685, true);
    {
        juce::Graphics g(viaPicture);
        g.drawImageAt(pictures::background(), 0, 0);
    }
    {
        juce::Graphics g(viaDecoded);
        g.drawImageAt(expected, 0, 0);
    }
    const juce::Image::BitmapData a(viaPicture, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData b(viaDecoded, juce::Image::BitmapData::readOnly);
    for (int y = 0; y < 685; ++y)
        ASSERT_EQ(0, std::memcmp(a.getLinePointer(y), b.getLinePointer(y),
                                 static_cast<size_t>(a.lineStride)))
            << "row " << y;
}

TEST(Pictures, APictureShownTwiceIsOneImage)
{
    // CLASSIC and ROCK serve the Overdrive and the Rotary pages alike.
    const auto classic = pictures::viewTab(pictures::View::classic);
    const auto again = pictures::viewTab(pictures::View::classic);
    EXPECT_EQ(classic.off, again.off);
    EXPECT_EQ(classic.over, again.over);
    EXPECT_EQ(classic.on, again.on);
    EXPECT_EQ(pictures::background(), pictures::background());
    // A copy made for drawing into is the picture's own pixels, not shared.
    auto copy = classic.off.createCopy();
    EXPECT_NE(copy, classic.off);
    EXPECT_EQ(copy.getPixelAt(10, 10), classic.off.getPixelAt(10, 10));
}

// ---- the 2x pictures ----------------------------------------------------------------------

juce::Image snapshot(juce::Component& component, float scale)
{
    return component.createComponentSnapshot(component.getLocalBounds(), true, scale);
}

int differingPixels(const juce::Image& a, const juce::Image& b)
{
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
        return a.getWidth() * a.getHeight() + 1;
    int differing = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            differing += a.getPixelAt(x, y) != b.getPixelAt(x, y) ? 1 : 0;
    return differing;
}

juce::Image decodedPng(const char* data, int size)
{
    return juce::ImageFileFormat::loadFrom(data, static_cast<size_t>(size));
}

TEST(SharpPictures, EveryPictureShownHasA2xPictureOfTwiceItsSize)
{
    for (const auto& shown : shownPictures())
    {
        SCOPED_TRACE(shown.name);
        EXPECT_EQ(pictures::forScale(shown.image, 1.0f), shown.image);
        const auto sharp = pictures::forScale(shown.image, 2.0f);
        EXPECT_EQ(sharp.getWidth(), 2 * shown.image.getWidth());
        EXPECT_EQ(sharp.getHeight(), 2 * shown.image.getHeight());
        EXPECT_EQ(sharp.getFormat(), shown.image.getFormat());
        // The same one each time, above 1 at whatever scale.
        EXPECT_EQ(pictures::forScale(shown.image, 1.5f), sharp);
    }
    // A picture that is not one of the editor's has none.
    const juce::Image other(juce::Image::RGB, 10, 10, true);
    EXPECT_EQ(pictures::forScale(other, 2.0f), other);
}

TEST(SharpPictures, ComponentsDrawThePictureAt1xAndThe2xPictureAbove)
{
    const auto background = pictures::background();
    const auto icon = pictures::pageIcons()[0];
    const auto bg2x = decodedPng(BinaryData2x::bg_png, BinaryData2x::bg_pngSize);
    const auto icon2x =
        decodedPng(BinaryData2x::tonegen_icon_png, BinaryData2x::tonegen_icon_pngSize);

    // As the editor places them: the background at its top left, uncut by
    // the window's height; the icon filling its bounds.
    struct Case
    {
        juce::Image picture, sharp;
        juce::Rectangle<int> bounds;
        juce::RectanglePlacement placement;
    } cases[] = {
        {background,
         bg2x,
         {0, 0, 1024, 685},
         juce::RectanglePlacement::xLeft | juce::RectanglePlacement::yTop |
             juce::RectanglePlacement::doNotResize},
        {icon, icon2x, {0, 0, 88, 70}, juce::RectanglePlacement::centred},
    };
    for (const auto& c : cases)
    {
        pictures::PictureComponent picture;
        juce::ImageComponent plain;
        for (auto* component : {static_cast<juce::ImageComponent*>(&picture), &plain})
        {
            component->setImage(c.picture, c.placement);
            component->setBounds(c.bounds);
        }
        // At 100 %: exactly what ImageComponent draws.
        EXPECT_EQ(differingPixels(snapshot(picture, 1.0f), snapshot(plain, 1.0f)), 0);
        // At 200 %: the 2x picture, pixel for pixel.
        const auto at2 = snapshot(picture, 2.0f);
        const auto want = c.sharp.getClippedImage(c.bounds * 2);
        juce::Image expected(juce::Image::ARGB, want.getWidth(), want.getHeight(), true);
        {
            juce::Graphics g(expected);
            g.drawImageAt(want, 0, 0);
        }
        EXPECT_EQ(differingPixels(at2, expected), 0);
        // And not the 1x picture enlarged.
        EXPECT_GT(differingPixels(at2, snapshot(plain, 2.0f)), 100);
    }
}

TEST(SharpPictures, ButtonsDrawThe2xPicturesAndHitTestAsAt1x)
{
    const auto load = pictures::load();
    pictures::PictureButton button;
    juce::ImageButton plain;
    for (auto* b : {static_cast<juce::ImageButton*>(&button), &plain})
        b->setImages(true, false, true, load.off, 1.0f, {}, load.over, 1.0f, {}, load.on, 1.0f, {},
                     0.0f);
    ASSERT_EQ(button.getWidth(), 89);
    EXPECT_EQ(differingPixels(snapshot(button, 1.0f), snapshot(plain, 1.0f)), 0);
    const auto sharp = decodedPng(BinaryData2x::load_off_png, BinaryData2x::load_off_pngSize)
                           .convertedToFormat(juce::Image::ARGB);
    EXPECT_EQ(differingPixels(snapshot(button, 2.0f), sharp), 0);
    button.setToggleState(true, juce::dontSendNotification);
    const auto sharpOn = decodedPng(BinaryData2x::load_on_png, BinaryData2x::load_on_pngSize)
                             .convertedToFormat(juce::Image::ARGB);
    EXPECT_EQ(differingPixels(snapshot(button, 2.0f), sharpOn), 0);

    // Hit testing with an alpha threshold, on a picture with transparent
    // parts: after drawing at 1x, 1.5x and 2x, a point is in the button where
    // the picture at its own size is opaque enough, and only there.
    const auto connected = pictures::connectedOn();
    pictures::PictureButton indicator;
    indicator.setImages(true, false, true, connected, 1.0f, {}, connected, 1.0f, {}, connected,
                        1.0f, {}, 0.5f);
    juce::Component& asComponent = indicator;
    for (const float scale : {1.0f, 1.5f, 2.0f})
    {
        SCOPED_TRACE(scale);
        snapshot(indicator, scale);
        int inside = 0, mismatches = 0;
        for (int y = 0; y < connected.getHeight(); ++y)
            for (int x = 0; x < connected.getWidth(); ++x)
            {
                const bool opaque = connected.getPixelAt(x, y).getAlpha() > 128;
                inside += opaque ? 1 : 0;
                mismatches += asComponent.hitTest(x, y) != opaque ? 1 : 0;
            }
        EXPECT_GT(inside, 50);
        EXPECT_EQ(mismatches, 0);
    }
}

} // namespace
} // namespace kestra
