// The receive path, the identity replies and the senders of the device link,
// against a recording host: no component, no thread.

#include "link/DeviceLink.h"
#include "link/MessageDescription.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include <vector>

using namespace kestra;

namespace
{
struct RecordingHost final : LinkHost
{
    std::vector<sysex::Bytes> sent;
    std::vector<std::pair<int, int>> posted; // type, value

    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        sent.emplace_back(data, data + size);
    }
    void postInternalMessage(int type, int value) override { posted.emplace_back(type, value); }
};

struct DeviceLinkTest : ::testing::Test
{
    RecordingHost host;
    DeviceLink link{host};

    void receive(const sysex::Bytes& message)
    {
        link.handleIncoming(message.data(), message.size());
    }
};
} // namespace

TEST_F(DeviceLinkTest, ReportedValuesAreStoredAndAnnouncedWhileIdle)
{
    receive({0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x00, 0x00, 0x00, 0x40, 0x7F, 0x03, 0xF7});
    EXPECT_EQ(link.parameterValue(5), 1.875f);
    receive({0xF0, 0x7D, 0x1E, 0x02, 0x05, 0x40, 0xF7});
    EXPECT_EQ(link.parameterValue(90), 64.0f);
    EXPECT_EQ(host.posted,
              (std::vector<std::pair<int, int>>{{ParameterChanged, 5}, {ParameterChanged, 90}}));
}

TEST_F(DeviceLinkTest, ValuesAndNamesAreStoredAndAnnouncedWhateverTheLinkDoes)
{
    // Whether the window shows them (only while the link is Idle) is the
    // message thread's decision.
    receive(sysex::parameterValueMessage(4, 3.0f));
    receive(sysex::tonewheelNameMessage(4, "Gold"));
    EXPECT_EQ(link.parameterValue(4), 3.0f);
    EXPECT_EQ(link.tonewheelName(4), "ALT2 -  Gold");
    EXPECT_EQ(host.posted,
              (std::vector<std::pair<int, int>>{{ParameterChanged, 4}, {TonewheelNameChanged, 4}}));
}

TEST_F(DeviceLinkTest, NumbersAndSlotsOutsideTheStoreAreDropped)
{
    const auto before = link.record();
    receive(sysex::parameterValueMessage(99, 1.0f));
    receive(sysex::parameterValueMessage(16383, 1.0f));
    receive({0xF0, 0x7D, 0x1E, 0x02, 0x0E, 0x01, 0xF7}); // 85 + 14 = 99
    receive({0xF0, 0x7D, 0x1E, 0x02, 0x7F, 0x01, 0xF7}); // 212
    receive({0xF0, 0x7D, 0x1E, 0x09, 0x06, 0x41, 0x00, 0xF7});
    const auto after = link.record();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(link.tonewheelNames()[5], "ALT3 -  TONEWHEEL A100_1961");
    EXPECT_TRUE(host.posted.empty());
}

// A value the instrument reports that is not a finite number is refused
// where it arrives: the value the editor had stays (so that everything it
// keeps can be opened again), nothing is announced, and the MIDI Monitor's
// line for the message says it was refused.
TEST_F(DeviceLinkTest, ValuesThatAreNotFiniteNumbersAreRefused)
{
    struct Case
    {
        const char* what;
        sysex::Bytes message;
    };
    const Case cases[] = {
        {"NaN", sysex::parameterValueMessage(23, std::numeric_limits<float>::quiet_NaN())},
        {"+infinity", sysex::parameterValueMessage(23, std::numeric_limits<float>::infinity())},
        {"-infinity", sysex::parameterValueMessage(6, -std::numeric_limits<float>::infinity())},
        {"as an organ sent it",
         {0xF0, 0x7D, 0x1E, 0x01, 0x17, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x07, 0xF7}},
    };
    const std::string refused = "(refused: not a finite number)";
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto before = link.record();
        receive(c.message);
        const auto after = link.record();
        EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
        EXPECT_TRUE(host.posted.empty());
        const auto meaning = describeMessage(c.message.data(), c.message.size());
        EXPECT_NE(meaning.find(refused), std::string::npos) << meaning;
    }
    const auto finite = sysex::parameterValueMessage(23, 4000.0f);
    receive(finite);
    EXPECT_EQ(link.parameterValue(23), 4000.0f);
    EXPECT_EQ(describeMessage(finite.data(), finite.size()).find(refused), std::string::npos);
}

TEST_F(DeviceLinkTest, ShortMessagesNeverReadStaleBufferBytes)
{
    // A long name first, then a name message without terminator: the second
    // is not completed from the first one's bytes; it is not taken at all.
    receive(sysex::tonewheelNameMessage(3, "ABCDEFGHIJKLMNOP"));
    host.posted.clear();
    receive({0xF0, 0x7D, 0x1E, 0x09, 0x03, 0x51, 0xF7});
    EXPECT_EQ(link.tonewheelName(3), "ALT1 -  ABCDEFGHIJKLMNOP");
    EXPECT_TRUE(host.posted.empty());
    // A value message cut short is dropped rather than completed from the buffer.
    receive(sysex::parameterValueMessage(6, 7000.0f));
    receive({0xF0, 0x7D, 0x1E, 0x01, 0x06, 0x00, 0x00, 0xF7});
    EXPECT_EQ(link.parameterValue(6), 7000.0f);
}

TEST_F(DeviceLinkTest, DoneIsAlwaysPosted)
{
    for (int k = 0; k < 3; ++k)
        receive(sysex::doneMessage());
    EXPECT_EQ(host.posted.size(), 3u);
    for (const auto& p : host.posted)
        EXPECT_EQ(p.first, DoneReceived);
}

TEST_F(DeviceLinkTest, IdentityRepliesAreKeptInOrderAndAnnounced)
{
    receive(sysex::identityReply({5, 4, 1, 1, 2, 3}));
    receive(sysex::identityReply({4, 6, 0, 2, 20, 11}));
    EXPECT_EQ(host.posted,
              (std::vector<std::pair<int, int>>{{IdentityReceived, 0}, {IdentityReceived, 0}}));
    EXPECT_TRUE(host.sent.empty()) << "the decision is the message thread's";
    EXPECT_EQ(link.modelIndex(), 0) << "nothing is taken before it is accepted";
    EXPECT_TRUE(link.hasPendingIdentity());

    const auto first = link.takeIdentity();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->modelCode, 4);
    link.acceptIdentity(*first);
    EXPECT_EQ(link.modelIndex(), 1);
    EXPECT_EQ(link.hardwareRevision(), 1);
    EXPECT_EQ(link.versionText(), "rel 1.5");

    link.dropPendingIdentities();
    EXPECT_FALSE(link.hasPendingIdentity());
    EXPECT_FALSE(link.takeIdentity().has_value());
}

TEST(DeviceLinkVersion, MinorNumbers)
{
    EXPECT_EQ(DeviceLink::makeVersionText(1, 5), "rel 1.5");
    EXPECT_EQ(DeviceLink::makeVersionText(1, 25), "rel 1.25");
    EXPECT_EQ(DeviceLink::makeVersionText(1, 26), "rel 1.2.6");
    EXPECT_EQ(DeviceLink::makeVersionText(1, 31), "rel 1.3.1");
}

TEST_F(DeviceLinkTest, SendParameterChoosesTheMessage)
{
    link.setParameterValue(5, 1.0f);
    link.setParameterValue(90, 3.7f);
    EXPECT_FALSE(link.sendParameter(5));
    EXPECT_FALSE(link.sendParameter(90));
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0], sysex::Bytes({0xF0, 0x7D, 0x1E, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00,
                                          0x7C, 0x03, 0xF7}));
    // 3.7 truncated is 3: outside the two options of 90, but a 7-bit byte, so it goes as it is.
    EXPECT_EQ(host.sent[1], sysex::Bytes({0xF0, 0x7D, 0x1E, 0x02, 0x05, 0x03, 0xF7}));
    EXPECT_EQ(link.parameterValue(90), 3.7f);
}

TEST_F(DeviceLinkTest, SettingsGoAsStoredUnlessNoByteCanCarryThemThenTheStoreTakesWhatWasSent)
{
    struct Case
    {
        int n;
        float stored;
        uint8_t byte;
        float storedAfter;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        // in the option range
        {97, 2.0f, 0x02, 2.0f},
        {86, 1.5f, 0x01, 1.5f},
        {85, -0.5f, 0x00, -0.5f},
        // out of the option range, but 7-bit
        {90, 3.7f, 0x03, 3.7f},
        {88, 127.0f, 0x7F, 127.0f},
        {88, 127.9f, 0x7F, 127.9f},
        {97, 6.0f, 0x06, 6.0f},
        // cannot be framed: the nearest end of the option range
        {85, 200.0f, 0x01, 1.0f},
        {97, 128.0f, 0x05, 5.0f},
        {97, -1.0f, 0x00, 0.0f},
        {97, -inf, 0x00, 0.0f},
        {97, inf, 0x05, 5.0f},
        {97, nan, 0x00, 0.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.n << " stored " << c.stored);
        host.sent.clear();
        link.setParameterValue(c.n, c.stored);
        const bool mended = link.sendParameter(c.n);
        ASSERT_EQ(host.sent.size(), 1u);
        EXPECT_EQ(host.sent[0], sysex::Bytes({0xF0, 0x7D, 0x1E, 0x02,
                                              static_cast<uint8_t>(c.n - 85), c.byte, 0xF7}));
        EXPECT_EQ(mended, !(c.storedAfter == c.stored)); // NaN included
        const float after = link.parameterValue(c.n);
        EXPECT_EQ(std::memcmp(&after, &c.storedAfter, sizeof after), 0) << after;
    }
}

TEST_F(DeviceLinkTest, TheReceivePathOnlyStoresAndPosts)
{
    // The link's state and timers belong to the message thread: what arrives
    // on the MIDI input thread is decoded, stored and posted, nothing more.
    receive(sysex::identityReply({5, 4, 1, 1, 2, 3}));
    receive(sysex::doneMessage());
    receive(sysex::parameterValueMessage(4, 3.0f));
    receive(sysex::tonewheelNameMessage(4, "Gold"));
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(host.posted.size(), 4u);
}
