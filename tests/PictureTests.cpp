// The pictures as the components get them: decoded when first drawn, they
// must be exactly what decoding the embedded PNG at once gives.

#include "support/GuiTestSupport.h"

#include "BinaryData.h"
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

} // namespace
} // namespace kestra
