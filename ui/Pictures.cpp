#include "ui/Pictures.h"

#include "BinaryData.h"

namespace kestra::pictures
{

namespace
{
juce::Image image(const char* data, int size)
{
    return juce::ImageCache::getFromMemory(data, size);
}

#define KESTRA_IMAGE(name) image(BinaryData::name, BinaryData::name##Size)
#define KESTRA_BUTTON(name)                                                                        \
    ButtonImages                                                                                   \
    {                                                                                              \
        KESTRA_IMAGE(name##_off_png), KESTRA_IMAGE(name##_ovr_png), KESTRA_IMAGE(name##_on_png)    \
    }
} // namespace

juce::Image background()
{
    return KESTRA_IMAGE(bg_png);
}

juce::Image connectedOff()
{
    return KESTRA_IMAGE(connected_off_png);
}

juce::Image connectedOn()
{
    return KESTRA_IMAGE(connected_on_png);
}

std::array<ButtonImages, 6> toolbar()
{
    return {KESTRA_BUTTON(open),  KESTRA_BUTTON(save),  KESTRA_BUTTON(connect),
            KESTRA_BUTTON(store), KESTRA_BUTTON(reset), KESTRA_BUTTON(tonewheel)};
}

std::array<ButtonImages, 6> pageButtons()
{
    return {KESTRA_BUTTON(tonegen), KESTRA_BUTTON(vibcho), KESTRA_BUTTON(overdrive),
            KESTRA_BUTTON(rotary),  KESTRA_BUTTON(reverb), KESTRA_BUTTON(addfunc)};
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

#undef KESTRA_BUTTON
#undef KESTRA_IMAGE

} // namespace kestra::pictures
