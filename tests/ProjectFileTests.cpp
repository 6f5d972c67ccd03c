// The project file without a window: the byte image, the checks a file must
// pass, what opening one takes, the naming rule, and the pacing of the send.

#include "files/ProjectFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace kestra;
using namespace kestra::projectfile;

namespace
{
using Bytes = std::vector<uint8_t>;

// Little-endian words written by hand, independent of the code under test.
void put(Bytes& bytes, size_t offset, uint32_t word)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A file image: header fields and values as given.
Bytes imageOf(uint32_t magic, uint32_t version, int32_t model, int32_t revision, uint32_t count,
              const ParameterValues& values)
{
    Bytes bytes(416, 0);
    put(bytes, 0, magic);
    put(bytes, 4, version);
    put(bytes, 8, static_cast<uint32_t>(model));
    put(bytes, 12, static_cast<uint32_t>(revision));
    put(bytes, 16, count);
    for (size_t n = 0; n < numParameters; ++n)
        put(bytes, 20 + 4 * n, bitsOf(values[n]));
    return bytes;
}

// Values that differ from every default and from each other; 85 ... 98 are
// valid option indices.
ParameterValues distinctValues(float seed)
{
    ParameterValues v{};
    for (int n = 0; n < numParameters; ++n)
        v[static_cast<size_t>(n)] = n < firstSettingParameter
                                        ? seed + 0.25f * static_cast<float>(n) - 7.0f
                                        : static_cast<float>((n + static_cast<int>(seed)) % 2);
    return v;
}

Bytes validImage(int32_t model = 1, int32_t revision = 1)
{
    return imageOf(projectMagic, 1, model, revision, 99, distinctValues(3.0f));
}

Bytes asBytes(const Image& image)
{
    return Bytes(image.begin(), image.end());
}
} // namespace

TEST(ProjectFileImage, TheRecordAtStartUpIsMagicOneZeroZeroNinetyNineAndTheDefaults)
{
    const auto image = toImage(ProjectRecord::initial());
    ASSERT_EQ(image.size(), 416u);

    const Bytes header = {0x63, 0x19, 0x07, 0x27, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99, 0, 0, 0};
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 20), header);
    EXPECT_EQ(asBytes(image), imageOf(projectMagic, 1, 0, 0, 99, defaultValues(0)));

    // Parameter 0 defaults to 100.0f = 0x42C80000, stored low byte first.
    EXPECT_EQ(Bytes(image.begin() + 20, image.begin() + 24), (Bytes{0x00, 0x00, 0xC8, 0x42}));
    // Parameter 98, the last four bytes: 0.0f.
    EXPECT_EQ(Bytes(image.end() - 4, image.end()), (Bytes{0, 0, 0, 0}));
}

TEST(ProjectFileImage, EveryFieldIsLittleEndianIncludingNegativeNumbers)
{
    ProjectRecord record = ProjectRecord::initial();
    record.modelIndex = 3;
    record.hardwareRevision = 1;
    record.parameterValues[0] = -6.0f;   // 0xC0C00000
    record.parameterValues[98] = 1.0f;   // 0x3F800000
    record.parameterValues[50] = -0.0f;  // the sign bit alone
    record.parameterValues[51] = 1e-40f; // subnormal
    const auto image = toImage(record);
    EXPECT_EQ(Bytes(image.begin() + 8, image.begin() + 16), (Bytes{3, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Bytes(image.begin() + 20, image.begin() + 24), (Bytes{0x00, 0x00, 0xC0, 0xC0}));
    EXPECT_EQ(Bytes(image.end() - 4, image.end()), (Bytes{0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(Bytes(image.begin() + 220, image.begin() + 224), (Bytes{0, 0, 0, 0x80}));

    // A negative model (never valid, but the writer does not judge) is two's complement.
    record.modelIndex = -2;
    const auto negative = toImage(record);
    EXPECT_EQ(Bytes(negative.begin() + 8, negative.begin() + 12), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(ProjectFileImage, ParsingAnImageGivesBackTheSame416Bytes)
{
    ProjectRecord record = ProjectRecord::initial();
    record.modelIndex = 2;
    record.hardwareRevision = 1;
    record.parameterValues = distinctValues(11.0f);
    record.parameterValues[7] = -0.0f;
    record.parameterValues[8] = std::numeric_limits<float>::denorm_min();
    record.parameterValues[9] = std::numeric_limits<float>::max();

    const auto image = toImage(record);
    const auto contents = parse(image.data(), image.size());
    ASSERT_EQ(contents.fault, Fault::none);
    EXPECT_EQ(toImage(contents.record), image);

    // Through an opening while not connected into a record that held something else.
    ProjectRecord opened = ProjectRecord::initial();
    takeProject(opened, contents.record, false);
    EXPECT_EQ(toImage(opened), image);
}

TEST(ProjectFileParse, DamagedFilesAreRefusedForTheirFirstFault)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        const char* what;
        Bytes bytes;
        Fault fault;
    };
    auto valid = validImage();
    auto with = [&](size_t offset, uint32_t word)
    {
        auto bytes = valid;
        put(bytes, offset, word);
        return bytes;
    };
    auto truncated = [&](size_t size) { return Bytes(valid.begin(), valid.begin() + size); };
    auto byteSwappedMagic = with(0, 0x63190727);

    const Case cases[] = {
        {"empty", {}, Fault::wrongMagic},
        {"three bytes of the magic", truncated(3), Fault::wrongMagic},
        {"magic alone", truncated(4), Fault::tooShort},
        {"header without values", truncated(20), Fault::tooShort},
        {"one byte short", truncated(415), Fault::tooShort},
        {"magic written big-endian", byteSwappedMagic, Fault::wrongMagic},
        {"magic off by one", with(0, projectMagic + 1), Fault::wrongMagic},
        {"short and wrong magic", Bytes{0x00, 0x19, 0x07, 0x27, 1}, Fault::wrongMagic},
        {"model -1", with(8, 0xFFFFFFFF), Fault::unknownModel},
        {"model 4", with(8, 4), Fault::unknownModel},
        {"model INT_MIN", with(8, 0x80000000), Fault::unknownModel},
        {"model INT_MAX", with(8, 0x7FFFFFFF), Fault::unknownModel},
        {"revision -1", with(12, 0xFFFFFFFF), Fault::unknownRevision},
        {"revision 2", with(12, 2), Fault::unknownRevision},
        {"revision 9", with(12, 9), Fault::unknownRevision},
        {"NaN in the first value", with(20, bitsOf(nan)), Fault::valueNotFinite},
        {"signalling NaN pattern", with(20 + 4 * 40, 0x7F800001), Fault::valueNotFinite},
        {"negative NaN", with(20 + 4 * 60, 0xFFC00000), Fault::valueNotFinite},
        {"+inf in a setting", with(20 + 4 * 90, bitsOf(inf)), Fault::valueNotFinite},
        {"-inf in the last value", with(412, bitsOf(-inf)), Fault::valueNotFinite},
    };
    for (const auto& c : cases)
    {
        const auto contents = parse(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(contents.fault, c.fault) << c.what;
    }
    // A bad model is reported before a bad revision.
    auto both = with(8, 5);
    put(both, 12, 9);
    EXPECT_EQ(parse(both.data(), both.size()).fault, Fault::unknownModel);
    EXPECT_EQ(parse(nullptr, 416).fault, Fault::wrongMagic);
}

TEST(ProjectFileParse, EveryModelAndRevisionInsideTheTablesIsAccepted)
{
    for (int32_t model = 0; model < 4; ++model)
        for (int32_t revision = 0; revision < 2; ++revision)
        {
            const auto bytes = validImage(model, revision);
            const auto contents = parse(bytes.data(), bytes.size());
            ASSERT_EQ(contents.fault, Fault::none) << model << " " << revision;
            EXPECT_EQ(contents.record.modelIndex, model);
            EXPECT_EQ(contents.record.hardwareRevision, revision);
            EXPECT_EQ(contents.record.parameterValues, distinctValues(3.0f));
        }
}

TEST(ProjectFileParse, ALongerFileLoadsAndItsTailIsIgnored)
{
    auto bytes = validImage();
    const auto head = bytes;
    for (int k = 0; k < 1000; ++k)
        bytes.push_back(0xFF); // would be NaN patterns if they were read as values
    const auto contents = parse(bytes.data(), bytes.size());
    ASSERT_EQ(contents.fault, Fault::none);
    EXPECT_EQ(asBytes(toImage(contents.record)), head);
}

TEST(ProjectFileParse, FormatVersionAndValueCountAreNotJudgedAndNotTaken)
{
    const auto bytes = imageOf(projectMagic, 7, 0, 0, 12, distinctValues(1.0f));
    const auto contents = parse(bytes.data(), bytes.size());
    ASSERT_EQ(contents.fault, Fault::none);

    ProjectRecord record = ProjectRecord::initial();
    takeProject(record, contents.record, false);
    EXPECT_EQ(record.formatVersion, 1u);
    EXPECT_EQ(record.valueCount, 99u);
    EXPECT_EQ(record.magic, projectMagic);
    EXPECT_EQ(record.parameterValues, distinctValues(1.0f));
}

TEST(ProjectFileOpen, ModelThreeOnEitherSideLimitsTheValuesTaken)
{
    struct Case
    {
        int fileModel;
        int fileRevision;
        int recordModel;
        int recordRevision;
        bool connected;
        int taken;
        int modelAfter;
        int revisionAfter;
    };
    const Case cases[] = {
        // not connected: the file's model and revision are taken
        {0, 0, 0, 0, false, 99, 0, 0},
        {3, 1, 0, 0, false, 85, 3, 1},
        {0, 1, 3, 0, false, 85, 0, 1},
        {3, 0, 3, 1, false, 85, 3, 0},
        {2, 1, 1, 0, false, 99, 2, 1},
        // connected: the record keeps the instrument's model and revision
        {3, 1, 0, 0, true, 85, 0, 0},
        {0, 0, 3, 1, true, 85, 3, 1},
        {1, 1, 2, 0, true, 99, 2, 0},
        {3, 0, 3, 0, true, 85, 3, 0},
    };
    const auto before = distinctValues(40.0f);
    const auto fromFile = distinctValues(5.0f);
    for (const auto& c : cases)
    {
        ProjectRecord file;
        file.modelIndex = c.fileModel;
        file.hardwareRevision = c.fileRevision;
        file.parameterValues = fromFile;

        ProjectRecord record;
        record.modelIndex = c.recordModel;
        record.hardwareRevision = c.recordRevision;
        record.parameterValues = before;

        EXPECT_EQ(valuesTaken(c.fileModel, c.recordModel), c.taken);
        takeProject(record, file, c.connected);
        for (int n = 0; n < numParameters; ++n)
        {
            const auto k = static_cast<size_t>(n);
            EXPECT_EQ(bitsOf(record.parameterValues[k]),
                      bitsOf(n < c.taken ? fromFile[k] : before[k]))
                << "file " << c.fileModel << " record " << c.recordModel << " value " << n;
        }
        EXPECT_EQ(record.modelIndex, c.modelAfter);
        EXPECT_EQ(record.hardwareRevision, c.revisionAfter);
    }
}

TEST(ProjectFileNames, OnlyTheProjectExtensionInAnyLetterCaseOpens)
{
    struct Case
    {
        const char* fileName;
        const char* extension;
        bool opens;
    };
    const Case cases[] = {
        {"song.tkp", ".tkp", true},
        {"SONG.TKP", ".TKP", true},
        {"song.Tkp", ".Tkp", true},
        {"song.tKP", ".tKP", true},
        {"song.tkp.bak", ".bak", false},
        {"song.tkp~", ".tkp~", false},
        {"song", "", false},
        {"song.", ".", false},
        {"song.tk", ".tk", false},
        {"song.tkpx", ".tkpx", false},
        {"song.ktw", ".ktw", false},
        {"my.song.tkp", ".tkp", true},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(extensionOf(c.fileName), c.extension) << c.fileName;
        EXPECT_EQ(hasProjectExtension(extensionOf(c.fileName)), c.opens) << c.fileName;
    }
}

TEST(ProjectFileNames, ASavedNameAlwaysOpensAgain)
{
    struct Case
    {
        const char* chosen;
        const char* saved;
    };
    const Case cases[] = {
        {"song.tkp", "song.tkp"},
        {"song.TKP", "song.TKP"},
        {"song.Tkp", "song.Tkp"},
        {"song", "song.tkp"},
        {"song.", "song.tkp"},
        {"song.bak", "song.bak.tkp"},
        {"song.tkp.bak", "song.tkp.bak.tkp"},
        {"my.song", "my.song.tkp"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(withProjectExtension(c.chosen), c.saved) << c.chosen;
        EXPECT_TRUE(hasProjectExtension(extensionOf(withProjectExtension(c.chosen)))) << c.chosen;
    }
}
