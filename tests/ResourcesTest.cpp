// The embedded pictures: every picture of the resource module is a complete
// 8-bit PNG of the size and colour type that its component expects, and the
// module's two name lists are in the order of resources/CMakeLists.txt.
//
// Everything is read from the bytes; no image is decoded, so no display and
// no JUCE module is needed.

#include "BinaryData.h"
#include "BinaryData2x.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
enum class ColourType : int
{
    rgb = 2,  // toolbar, page and view buttons, LOAD..., background, information sign
    rgba = 6, // page icons, connection pictures, application icons
};

struct Picture
{
    const char* file;     // source file in resources/images
    const char* resource; // name in BinaryData
    const char* data;
    int size;
    std::uint32_t width;
    std::uint32_t height;
    ColourType type;
};

constexpr auto rgb = ColourType::rgb;
constexpr auto rgba = ColourType::rgba;

#define KESTRA_PICTURE(file, name, w, h, type)                                                     \
    Picture                                                                                        \
    {                                                                                              \
        file, #name, BinaryData::name, BinaryData::name##Size, w, h, type                          \
    }

// In the order of the resource module's name lists.
const Picture pictures[] = {
    KESTRA_PICTURE("tonewheel_off.png", tonewheel_off_png, 104, 78, rgb),
    KESTRA_PICTURE("tonewheel_on.png", tonewheel_on_png, 104, 78, rgb),
    KESTRA_PICTURE("tonewheel_ovr.png", tonewheel_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("drawbar_off.png", drawbar_off_png, 85, 29, rgb),
    KESTRA_PICTURE("drawbar_on.png", drawbar_on_png, 85, 29, rgb),
    KESTRA_PICTURE("drawbar_ovr.png", drawbar_ovr_png, 85, 29, rgb),
    KESTRA_PICTURE("main_off.png", main_off_png, 85, 29, rgb),
    KESTRA_PICTURE("main_on.png", main_on_png, 85, 29, rgb),
    KESTRA_PICTURE("main_ovr.png", main_ovr_png, 85, 29, rgb),
    KESTRA_PICTURE("load_off.png", load_off_png, 89, 24, rgb),
    KESTRA_PICTURE("load_on.png", load_on_png, 89, 24, rgb),
    KESTRA_PICTURE("load_ovr.png", load_ovr_png, 89, 24, rgb),
    KESTRA_PICTURE("common_off.png", common_off_png, 85, 29, rgb),
    KESTRA_PICTURE("common_on.png", common_on_png, 85, 29, rgb),
    KESTRA_PICTURE("common_ovr.png", common_ovr_png, 85, 29, rgb),
    KESTRA_PICTURE("add-func_icon.png", addfunc_icon_png, 88, 70, rgba),
    KESTRA_PICTURE("add-func_off.png", addfunc_off_png, 201, 40, rgb),
    KESTRA_PICTURE("add-func_on.png", addfunc_on_png, 201, 40, rgb),
    KESTRA_PICTURE("add-func_ovr.png", addfunc_ovr_png, 201, 40, rgb),
    KESTRA_PICTURE("bg.png", bg_png, 1024, 748, rgb),
    KESTRA_PICTURE("classic_off.png", classic_off_png, 85, 29, rgb),
    KESTRA_PICTURE("classic_on.png", classic_on_png, 85, 29, rgb),
    KESTRA_PICTURE("classic_ovr.png", classic_ovr_png, 85, 29, rgb),
    KESTRA_PICTURE("connect_off.png", connect_off_png, 104, 78, rgb),
    KESTRA_PICTURE("connect_on.png", connect_on_png, 104, 78, rgb),
    KESTRA_PICTURE("connect_ovr.png", connect_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("connected_off.png", connected_off_png, 35, 18, rgba),
    KESTRA_PICTURE("connected_on.png", connected_on_png, 35, 18, rgba),
    KESTRA_PICTURE("icon_16x16.png", icon_16x16_png, 16, 16, rgba),
    KESTRA_PICTURE("icon_48x48.png", icon_48x48_png, 48, 48, rgba),
    KESTRA_PICTURE("icon_256x256.png", icon_256x256_png, 256, 256, rgba),
    KESTRA_PICTURE("info_off.png", info_off_png, 12, 12, rgb),
    KESTRA_PICTURE("info_on.png", info_on_png, 12, 12, rgb),
    KESTRA_PICTURE("info_ovr.png", info_ovr_png, 12, 12, rgb),
    KESTRA_PICTURE("open_off.png", open_off_png, 104, 78, rgb),
    KESTRA_PICTURE("open_on.png", open_on_png, 104, 78, rgb),
    KESTRA_PICTURE("open_ovr.png", open_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("overdrive_icon.png", overdrive_icon_png, 88, 70, rgba),
    KESTRA_PICTURE("overdrive_off.png", overdrive_off_png, 201, 40, rgb),
    KESTRA_PICTURE("overdrive_on.png", overdrive_on_png, 201, 40, rgb),
    KESTRA_PICTURE("overdrive_ovr.png", overdrive_ovr_png, 201, 40, rgb),
    KESTRA_PICTURE("reset_off.png", reset_off_png, 104, 78, rgb),
    KESTRA_PICTURE("reset_on.png", reset_on_png, 104, 78, rgb),
    KESTRA_PICTURE("reset_ovr.png", reset_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("reverb_icon.png", reverb_icon_png, 88, 70, rgba),
    KESTRA_PICTURE("reverb_off.png", reverb_off_png, 201, 40, rgb),
    KESTRA_PICTURE("reverb_on.png", reverb_on_png, 201, 40, rgb),
    KESTRA_PICTURE("reverb_ovr.png", reverb_ovr_png, 201, 40, rgb),
    KESTRA_PICTURE("rock_off.png", rock_off_png, 85, 29, rgb),
    KESTRA_PICTURE("rock_on.png", rock_on_png, 85, 29, rgb),
    KESTRA_PICTURE("rock_ovr.png", rock_ovr_png, 85, 29, rgb),
    KESTRA_PICTURE("rotary_icon.png", rotary_icon_png, 88, 70, rgba),
    KESTRA_PICTURE("rotary_off.png", rotary_off_png, 201, 40, rgb),
    KESTRA_PICTURE("rotary_on.png", rotary_on_png, 201, 40, rgb),
    KESTRA_PICTURE("rotary_ovr.png", rotary_ovr_png, 201, 40, rgb),
    KESTRA_PICTURE("save_off.png", save_off_png, 104, 78, rgb),
    KESTRA_PICTURE("save_on.png", save_on_png, 104, 78, rgb),
    KESTRA_PICTURE("save_ovr.png", save_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("settings_off.png", settings_off_png, 104, 78, rgb),
    KESTRA_PICTURE("settings_on.png", settings_on_png, 104, 78, rgb),
    KESTRA_PICTURE("settings_ovr.png", settings_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("store_off.png", store_off_png, 104, 78, rgb),
    KESTRA_PICTURE("store_on.png", store_on_png, 104, 78, rgb),
    KESTRA_PICTURE("store_ovr.png", store_ovr_png, 104, 78, rgb),
    KESTRA_PICTURE("tone-gen_icon.png", tonegen_icon_png, 88, 70, rgba),
    KESTRA_PICTURE("tone-gen_off.png", tonegen_off_png, 201, 40, rgb),
    KESTRA_PICTURE("tone-gen_on.png", tonegen_on_png, 201, 40, rgb),
    KESTRA_PICTURE("tone-gen_ovr.png", tonegen_ovr_png, 201, 40, rgb),
    KESTRA_PICTURE("vib-cho_icon.png", vibcho_icon_png, 88, 70, rgba),
    KESTRA_PICTURE("vib-cho_off.png", vibcho_off_png, 201, 40, rgb),
    KESTRA_PICTURE("vib-cho_on.png", vibcho_on_png, 201, 40, rgb),
    KESTRA_PICTURE("vib-cho_ovr.png", vibcho_ovr_png, 201, 40, rgb),
};

#undef KESTRA_PICTURE

constexpr std::size_t pictureCount = sizeof(pictures) / sizeof(pictures[0]);

std::uint32_t readBigEndian32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// CRC-32 as PNG uses it (ISO 3309), over a chunk's type and data.
std::uint32_t pngCrc(const unsigned char* p, std::size_t length)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i)
    {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

struct Chunk
{
    std::string type;
    std::size_t offset; // of the chunk's data
    std::uint32_t length;
    bool crcOk;
};

// The chunks of a PNG file after its signature, up to the end of the data or
// the first chunk that does not fit in it. The caller checks that the walk
// ends with IEND exactly at the end.
std::vector<Chunk> readChunks(const unsigned char* bytes, std::size_t size, std::size_t& end)
{
    std::vector<Chunk> chunks;
    std::size_t pos = 8;
    while (pos + 12 <= size)
    {
        const auto length = readBigEndian32(bytes + pos);
        if (length > size - pos - 12)
            break;
        const auto crc = readBigEndian32(bytes + pos + 8 + length);
        chunks.push_back({std::string(reinterpret_cast<const char*>(bytes + pos + 4), 4), pos + 8,
                          length, pngCrc(bytes + pos + 4, std::size_t{length} + 4) == crc});
        pos += std::size_t{length} + 12;
        if (chunks.back().type == "IEND")
            break;
    }
    end = pos;
    return chunks;
}

class EmbeddedPicture : public ::testing::TestWithParam<std::size_t>
{
protected:
    const Picture& picture() const { return pictures[GetParam()]; }
    const unsigned char* bytes() const
    {
        return reinterpret_cast<const unsigned char*>(picture().data);
    }
    std::size_t size() const { return static_cast<std::size_t>(picture().size); }
};

TEST_P(EmbeddedPicture, IsACompletePngWithIntactChunks)
{
    constexpr std::array<unsigned char, 8> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_NE(picture().data, nullptr);
    ASSERT_GT(size(), 8u + 25u + 12u);
    ASSERT_EQ(std::memcmp(bytes(), signature.data(), signature.size()), 0);

    std::size_t end = 0;
    const auto chunks = readChunks(bytes(), size(), end);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    EXPECT_EQ(end, size()) << "bytes after IEND, or a chunk runs past the end";

    bool hasImageData = false;
    for (const auto& chunk : chunks)
    {
        EXPECT_TRUE(chunk.crcOk) << chunk.type << " at " << chunk.offset;
        hasImageData = hasImageData || chunk.type == "IDAT";
    }
    EXPECT_TRUE(hasImageData);
}

TEST_P(EmbeddedPicture, HasItsSizeAndColourType)
{
    ASSERT_GE(size(), 8u + 8u + 13u);
    const auto* ihdr = bytes() + 8;
    ASSERT_EQ(readBigEndian32(ihdr), 13u);
    ASSERT_EQ(std::memcmp(ihdr + 4, "IHDR", 4), 0);
    const auto* fields = ihdr + 8;

    EXPECT_EQ(readBigEndian32(fields), picture().width);
    EXPECT_EQ(readBigEndian32(fields + 4), picture().height);
    EXPECT_EQ(int{fields[8]}, 8) << "bit depth";
    EXPECT_EQ(int{fields[9]}, static_cast<int>(picture().type)) << "colour type";
    EXPECT_EQ(int{fields[12]}, 0) << "interlace method";
}

TEST_P(EmbeddedPicture, StandsAtItsPlaceInTheNameLists)
{
    const auto index = GetParam();
    ASSERT_LT(index, static_cast<std::size_t>(BinaryData::namedResourceListSize));
    EXPECT_STREQ(BinaryData::namedResourceList[index], picture().resource);
    EXPECT_STREQ(BinaryData::originalFilenames[index], picture().file);

    int namedSize = -1;
    EXPECT_EQ(BinaryData::getNamedResource(picture().resource, namedSize), picture().data);
    EXPECT_EQ(namedSize, picture().size);
    EXPECT_STREQ(BinaryData::getNamedResourceOriginalFilename(picture().resource), picture().file);
}

std::string pictureName(const ::testing::TestParamInfo<std::size_t>& info)
{
    return pictures[info.param].resource;
}

std::vector<std::size_t> allPictures()
{
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < pictureCount; ++i)
        indices.push_back(i);
    return indices;
}

INSTANTIATE_TEST_SUITE_P(Resources, EmbeddedPicture, ::testing::ValuesIn(allPictures()),
                         pictureName);

TEST(ResourceModule, NameListsHoldExactlyThePictures)
{
    // A picture added to resources/images and its list, but not to the table
    // above, would be in the module without being checked.
    EXPECT_EQ(static_cast<std::size_t>(BinaryData::namedResourceListSize), pictureCount);
    EXPECT_STREQ(BinaryData::namedResourceList[0], "tonewheel_off_png");
    EXPECT_STREQ(BinaryData::originalFilenames[15], "add-func_icon.png");
    EXPECT_STREQ(BinaryData::namedResourceList[71], "vibcho_ovr_png");
    int size = -1;
    EXPECT_EQ(BinaryData::getNamedResource("no_such_png", size), nullptr);
}

TEST(ResourceModule, StatesArePicturesOfTheirOwn)
{
    // off, on (and ovr) of a button or of the connection picture stand
    // together in the lists; a button whose pictures were all the same file
    // would show no hover and no pressed state, a connection picture that
    // never changes no connection.
    const std::string offSuffix = "_off.png";
    const auto same = [](const Picture& a, const Picture& b) {
        return a.size == b.size &&
               std::memcmp(a.data, b.data, static_cast<std::size_t>(a.size)) == 0;
    };

    int triples = 0;
    int pairs = 0;
    for (std::size_t i = 0; i < pictureCount; ++i)
    {
        const std::string file = pictures[i].file;
        if (file.size() <= offSuffix.size() ||
            file.compare(file.size() - offSuffix.size(), offSuffix.size(), offSuffix) != 0)
            continue;

        const auto stem = file.substr(0, file.size() - offSuffix.size());
        SCOPED_TRACE(stem);
        ASSERT_LT(i + 1, pictureCount);
        const Picture& off = pictures[i];
        const Picture& on = pictures[i + 1];
        ASSERT_EQ(std::string(on.file), stem + "_on.png");
        EXPECT_FALSE(same(off, on));

        if (i + 2 < pictureCount && std::string(pictures[i + 2].file) == stem + "_ovr.png")
        {
            const Picture& over = pictures[i + 2];
            EXPECT_FALSE(same(off, over));
            EXPECT_FALSE(same(on, over));
            ++triples;
        }
        else
        {
            ++pairs;
        }
    }
    // 7 toolbar, 6 page, 5 view, LOAD... and the information sign; the
    // connection picture has no ovr.
    EXPECT_EQ(triples, 20);
    EXPECT_EQ(pairs, 1);
}

// ---- the same pictures at twice their size (BinaryData2x) ---------------------------------

bool isApplicationIcon(const Picture& picture)
{
    return std::string(picture.file).rfind("icon_", 0) == 0;
}

TEST_P(EmbeddedPicture, HasA2xPictureOfTwiceItsSizeUnlessAnApplicationIcon)
{
    int size = -1;
    const auto* data = BinaryData2x::getNamedResource(picture().resource, size);
    if (isApplicationIcon(picture()))
    {
        EXPECT_EQ(data, nullptr) << "the desktop shows the icons at sizes of its own";
        return;
    }
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(BinaryData2x::getNamedResourceOriginalFilename(picture().resource),
                 picture().file);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    std::size_t end = 0;
    const auto chunks = readChunks(bytes, static_cast<std::size_t>(size), end);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    EXPECT_EQ(end, static_cast<std::size_t>(size));
    for (const auto& chunk : chunks)
        EXPECT_TRUE(chunk.crcOk) << chunk.type;
    const auto* fields = bytes + 16;
    EXPECT_EQ(readBigEndian32(fields), 2 * picture().width);
    EXPECT_EQ(readBigEndian32(fields + 4), 2 * picture().height);
    EXPECT_EQ(int{fields[8]}, 8) << "bit depth";
    EXPECT_EQ(int{fields[9]}, static_cast<int>(picture().type)) << "colour type";
}

TEST(ResourceModule, The2xModuleHoldsExactlyThePicturesButTheIcons)
{
    std::size_t withSharper = 0;
    for (const auto& picture : pictures)
        withSharper += isApplicationIcon(picture) ? 0 : 1;
    EXPECT_EQ(static_cast<std::size_t>(BinaryData2x::namedResourceListSize), withSharper);
}
} // namespace
