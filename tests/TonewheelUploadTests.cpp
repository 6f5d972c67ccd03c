// The tonewheel upload in the editor: the file from the disk to the
// instrument with the confirmation, the transfer box with its text and bar,
// the instrument's errors, the user's Cancel, and the handshake that follows
// every end. The instrument is scripted: it reassembles what arrives and
// answers each header and packet with ACK unless told otherwise.

#include "TonewheelGuiSupport.h"
#include "support/GuiTestSupport.h"

#include "editor/MessageTexts.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <map>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace kestra::tonewheeltest;
using kestra::testing::pumpUntil;

namespace
{
// Answers the handshake like an instrument of model 1, revision 0, and
// takes File Dumps. Everything it gets is also kept in order.
class ScriptedInstrument
{
public:
    explicit ScriptedInstrument(VirtualMidiServices& services) : midi(services)
    {
        input = midi.addInputPort("Scripted");
        output = midi.addOutputPort("Scripted", [this](const uint8_t* data, size_t size)
                                    { receive(Bytes(data, data + size)); });
    }

    // Replies for the next headers and packets, in order; when none is left
    // the instrument ACKs at once, unless it holds.
    void plan(std::deque<Bytes> replies)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        planned = std::move(replies);
    }
    std::atomic<bool> hold{false};
    // The answer to the EOF, if any: an instrument that refuses the whole tonewheel.
    void replyToEof(Bytes message)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        eofReply = std::move(message);
    }
    std::atomic<bool> answerIdentity{true};

    void reply(const Bytes& message) { midi.sendToEditor(input, message); }

    std::vector<Bytes> received()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return all;
    }
    size_t receivedCount()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return all.size();
    }
    Reassembly upload()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return current;
    }
    size_t fileDumpMessages()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return dumpCount;
    }

    int input = -1;
    int output = -1;

private:
    void receive(const Bytes& m)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        all.push_back(m);
        if (current.take(m))
        {
            ++dumpCount;
            if (current.complete && m == eofPacket && current.header)
            {
                // The slot takes the name of the new tonewheel.
                const int slot = current.header->type[2] - '1' + 3;
                std::string name(current.header->name.begin(), current.header->name.end());
                names[slot] = name.substr(0, name.find('\0'));
            }
            if (isHeader(m) || isDataPacket(m))
                answerFileDump();
            else if (m == eofPacket && !eofReply.empty())
                reply(eofReply);
            return;
        }
        const auto d = sysex::decode(m);
        if (d.kind == sysex::Decoded::Kind::identityRequest && answerIdentity.load())
        {
            sysex::Identity identity;
            identity.modelCode = 4;
            identity.firmwareMajor = 1;
            identity.firmwareMinorA = 5;
            reply(sysex::identityReply(identity));
        }
        else if (d.kind == sysex::Decoded::Kind::dumpRequest)
        {
            if (d.number == 0x7E)
                for (const auto& [slot, name] : names)
                    reply(sysex::tonewheelNameMessage(slot, name));
            reply(sysex::doneMessage());
        }
    }

    void answerFileDump()
    {
        if (!planned.empty())
        {
            reply(planned.front());
            planned.pop_front();
        }
        else if (!hold.load())
        {
            reply(ack);
        }
    }

    VirtualMidiServices& midi;
    std::mutex mutex;
    std::vector<Bytes> all;
    Reassembly current;
    size_t dumpCount = 0;
    std::deque<Bytes> planned;
    Bytes eofReply;
    std::map<int, std::string> names;
};

struct TonewheelUpload : ::testing::Test
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    ScriptedInstrument instrument{*midi};
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    BoxAnswerer boxes{probe};
    juce::File folder;

    void SetUp() override
    {
        folder = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getNonexistentChildFile("kestra-tonewheel", "");
        ASSERT_TRUE(folder.createDirectory());
        probe.openPorts(instrument.input, instrument.output);
    }

    void TearDown() override { folder.deleteRecursively(); }

    void connect()
    {
        probe.startHandshake();
        ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));
    }

    bool isConnectedAndIdle() const
    {
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
               probe.messageBox() == nullptr;
    }

    juce::File write(const juce::String& name, const Bytes& image)
    {
        auto file = folder.getChildFile(name);
        file.getParentDirectory().createDirectory();
        EXPECT_TRUE(file.replaceWithData(image.data(), image.size()));
        return file;
    }

    // What the editor sent from message index from on.
    std::vector<Bytes> sentSince(size_t from)
    {
        auto all = instrument.received();
        return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
    }
};

const Bytes identityRequest = {0xF0, 0x7D, 0x1E, 0x06, 0x01, 0xF7};
} // namespace

TEST_F(TonewheelUpload, AOneMebibyteFileReachesTheInstrumentWholeAndTheHandshakeFollows)
{
    connect();
    const auto data = patternData(1048512, 3);
    const auto image = tonewheelFileImage(data, "GOLD 1955\xC1");
    ASSERT_EQ(image.size(), 1048576u);
    const auto file = write("gold.ktw", image);
    boxes.answer(texts::tonewheelWarningPrefix, texts::yes);
    // The header waits for its acknowledgement, so that the box is seen
    // before anything was acknowledged.
    instrument.hold = true;

    editor.core().loadTonewheelFrom(file, 3);
    // Once the question is answered, the transfer box is up with its bar.
    ASSERT_TRUE(pumpUntil([&] { return progressBarOf(probe.messageBox()) != nullptr; }));
    ASSERT_NE(probe.messageBox(), nullptr);
    EXPECT_EQ(messageOf(*probe.messageBox()), texts::transmittingTonewheel);
    ASSERT_NE(progressBarOf(probe.messageBox()), nullptr);
    EXPECT_EQ(progressOf(*progressBarOf(probe.messageBox())), 0.0);
    ASSERT_TRUE(pumpUntil([&] { return instrument.fileDumpMessages() == 1; }));
    instrument.hold = false;
    instrument.reply(ack);

    ASSERT_TRUE(
        pumpUntil([&] { return instrument.upload().complete; }, std::chrono::milliseconds(120000)));
    ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));

    const auto upload = instrument.upload();
    EXPECT_EQ(upload.faults, 0);
    ASSERT_TRUE(upload.header);
    EXPECT_EQ(upload.header->type, "AC1");
    EXPECT_EQ(upload.header->length, 1048512);
    Bytes name(image.begin() + 32, image.begin() + 64);
    for (auto& byte : name)
        byte &= 0x7F; // "GOLD 1955A"
    EXPECT_EQ(upload.header->name, name);
    EXPECT_TRUE(upload.data == data);
    EXPECT_EQ(upload.numbers.size(), 10082u);

    // After the EOF: the identity request, then the three dump sections.
    const auto all = instrument.received();
    const auto eofAt = std::find(all.begin(), all.end(), eofPacket);
    ASSERT_NE(eofAt, all.end());
    std::vector<Bytes> after;
    for (auto it = eofAt + 1; it != all.end(); ++it)
        if (sysex::decode(*it).kind != sysex::Decoded::Kind::identityRequest || after.empty())
            after.push_back(*it);
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(after[0], identityRequest);
    EXPECT_EQ(after[1], sysex::dumpRequest(0x7D));
    EXPECT_EQ(after[2], sysex::dumpRequest(0x7E));
    EXPECT_EQ(after[3], sysex::dumpRequest(0x7C));

    // The new name is on the selector; the heartbeat runs again.
    EXPECT_EQ(probe.selector(97)->getItemText(3), "ALT1 -  GOLD 1955A");
    EXPECT_TRUE(probe.isTimerRunning(HeartbeatTimer));
    EXPECT_FALSE(probe.isTimerRunning(DumpTimeoutTimer));
    EXPECT_EQ(probe.lastFileFolder(), folder);
}

TEST_F(TonewheelUpload, TheBoxShowsTheBytesStillToBeAcknowledgedAndABar)
{
    connect();
    instrument.hold = true;
    const auto file = write("short.ktw", tonewheelFileImage(patternData(105), "Short"));
    boxes.answer(texts::tonewheelWarningPrefix, texts::yes);
    editor.core().loadTonewheelFrom(file, 4);

    ASSERT_TRUE(pumpUntil([&] { return instrument.fileDumpMessages() == 1; }));
    instrument.reply(ack);
    ASSERT_TRUE(pumpUntil([&] { return instrument.fileDumpMessages() == 2; }));
    instrument.reply(ack);
    ASSERT_TRUE(pumpUntil(
        [&]
        {
            return probe.messageBox() != nullptr &&
                   messageOf(*probe.messageBox()) ==
                       juce::String(texts::transmittingTonewheel) + "1";
        }));
    auto* bar = progressBarOf(probe.messageBox());
    ASSERT_NE(bar, nullptr);
    EXPECT_DOUBLE_EQ(progressOf(*bar), 104.0 / 105.0);
    EXPECT_TRUE(probe.supervisor().isConnected());

    instrument.reply(ack);
    ASSERT_TRUE(pumpUntil([&] { return instrument.upload().complete; }));
    ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));
    EXPECT_EQ(instrument.upload().header->type, "AC2");
    EXPECT_EQ(instrument.upload().numbers, (std::vector<uint8_t>{0, 1}));
}

TEST_F(TonewheelUpload, WhenTheInstrumentEndsTheTransferItsErrorIsShownAndTheHandshakeFollows)
{
    struct Case
    {
        const char* what;
        std::deque<Bytes> replies;
        const char* text;
        bool editorCancels;
    };
    const Case cases[] = {
        {"CANCEL 3 after two packets",
         {ack, ack, cancelWithCode(3)},
         "The dsp is not responding!",
         false},
        {"header refused", {cancelWithCode(0)}, "The size of the header is wrong!", false},
        {"third NAK", {ack, nak(5), nak(5), nak(5)}, "The dsp can not write flash!", true},
        {"third NAK on the header",
         {nak(1), nak(1), nak(1)},
         "The tonewheel number is wrong!",
         true},
        {"code 9", {ack, cancelWithCode(9)}, texts::unknownTransferError, false},
        {"no code", {ack, {0xF0, 0x7E, 0x00, 0x7D, 0xF7}}, texts::unknownTransferError, false},
    };
    connect();
    const auto file = write("wheel.ktw", tonewheelFileImage(patternData(1000), "Wheel"));
    boxes.answer(texts::tonewheelWarningPrefix, texts::yes);
    boxes.answer(texts::transmissionAborted, texts::ok);

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(isConnectedAndIdle());
        const auto start = instrument.receivedCount();
        const int errorsBefore = boxes.presses(texts::transmissionAborted);
        instrument.plan(c.replies);
        editor.core().loadTonewheelFrom(file, 5);
        ASSERT_TRUE(
            pumpUntil([&] { return boxes.presses(texts::transmissionAborted) > errorsBefore; }));
        ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));

        const auto& box = boxes.seen.back();
        EXPECT_EQ(box.message, juce::String(texts::transmissionAborted) + c.text);
        EXPECT_FALSE(box.heartbeatRunning);
        EXPECT_TRUE(box.connected); // the handshake starts after the box

        // Nothing of the transfer after its end; the CANCEL only on the third NAK.
        const auto sent = sentSince(start);
        std::vector<Bytes> fileDump;
        for (const auto& m : sent)
            if (!isInstrumentMessage(m))
                fileDump.push_back(m);
        ASSERT_FALSE(fileDump.empty());
        EXPECT_EQ(fileDump.back() == cancel, c.editorCancels);
        EXPECT_EQ(std::count(fileDump.begin(), fileDump.end(), cancel), c.editorCancels ? 1 : 0);
        EXPECT_EQ(instrument.upload().faults, 0);
        EXPECT_FALSE(instrument.upload().complete);
        EXPECT_TRUE(probe.isTimerRunning(HeartbeatTimer));
    }
}

TEST_F(TonewheelUpload, ARefusalAfterTheEofStaysOnScreenUntilReadThenTheHandshakeRuns)
{
    connect();
    instrument.replyToEof(cancelWithCode(5));
    const auto file = write("wheel.ktw", tonewheelFileImage(patternData(500), "Wheel"));
    boxes.answer(texts::tonewheelWarningPrefix, texts::yes);
    // The user takes a while to read it: meanwhile nothing may close it.
    boxes.answer(texts::transmissionAborted, texts::ok, nullptr, 100);
    editor.core().loadTonewheelFrom(file, 4);
    // A hundred ticks of reading take far longer than usual under ThreadSanitizer.
    ASSERT_TRUE(pumpUntil([&] { return boxes.presses(texts::transmissionAborted) == 1; },
                          std::chrono::milliseconds(60000)));
    ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));

    EXPECT_EQ(boxes.seen.back().message,
              juce::String(texts::transmissionAborted) + "The dsp can not write flash!");
    EXPECT_TRUE(instrument.upload().complete);
    EXPECT_TRUE(probe.isTimerRunning(HeartbeatTimer));
    // The handshake that the box held ran to its end after it.
    const auto all = instrument.received();
    const auto last7C = std::find(all.rbegin(), all.rend(), sysex::dumpRequest(0x7C));
    EXPECT_NE(last7C, all.rend());
}

TEST_F(TonewheelUpload, TheUsersCancelWarnsThatTheSlotIsEmptyAndAsksForTheIdentity)
{
    connect();
    instrument.hold = true;
    const auto file = write("wheel.ktw", tonewheelFileImage(patternData(300), "Wheel"));
    boxes.answer(texts::tonewheelWarningPrefix, texts::yes);
    editor.core().loadTonewheelFrom(file, 3);
    ASSERT_TRUE(pumpUntil([&] { return instrument.fileDumpMessages() == 1; }));
    instrument.reply(ack);
    ASSERT_TRUE(pumpUntil([&] { return instrument.fileDumpMessages() == 2; }));
    instrument.reply(ack);
    ASSERT_TRUE(pumpUntil(
        [&]
        {
            return probe.messageBox() != nullptr &&
                   messageOf(*probe.messageBox()) ==
                       juce::String(texts::transmittingTonewheel) + "196";
        }));

    instrument.answerIdentity = false;
    probe.loadTonewheelButton().setState(juce::Button::buttonDown); // as the LOAD... click left it
    juce::String textAfterLateProgress;
    boxes.answer(texts::transmittingTonewheel, texts::cancel);
    boxes.answer(texts::transmissionAborted, texts::ok,
                 [&](juce::AlertWindow& box)
                 {
                     // A progress event that arrived late would leave the box
                     // alone (the controller's own tests send one).
                     textAfterLateProgress = messageOf(box);
                 });
    const auto start = instrument.receivedCount();
    ASSERT_TRUE(pumpUntil([&] { return boxes.presses(texts::transmissionAborted) == 1; }));
    // What follows the CANCEL (a heartbeat may have asked for the identity before it).
    auto sinceCancel = [&]
    {
        auto sent = sentSince(start);
        const auto at = std::find(sent.begin(), sent.end(), cancel);
        return at == sent.end() ? std::vector<Bytes>{} : std::vector<Bytes>(at, sent.end());
    };
    ASSERT_TRUE(pumpUntil([&] { return sinceCancel().size() >= 2; }));

    const auto abort = boxes.seen.back();
    const auto expected = juce::String(texts::transmissionAborted) + texts::tonewheelDeleted;
    EXPECT_EQ(abort.message, expected);
    EXPECT_EQ(textAfterLateProgress, expected);
    EXPECT_FALSE(abort.heartbeatRunning);
    EXPECT_EQ(sinceCancel(), (std::vector<Bytes>{cancel, identityRequest}));
    for (const auto& m : sentSince(start))
        EXPECT_TRUE(m == cancel || m == identityRequest);
    EXPECT_FALSE(probe.supervisor().isConnected());
    EXPECT_FALSE(probe.isTimerRunning(DumpTimeoutTimer)); // no time-out after a cancel
    EXPECT_FALSE(probe.isTimerRunning(HeartbeatTimer));
    EXPECT_EQ(probe.loadTonewheelButton().getState(), juce::Button::buttonNormal);
    EXPECT_EQ(probe.messageBox(), nullptr);

    // A late ACK sends nothing; the identity reply that follows it starts the handshake.
    instrument.answerIdentity = true;
    const auto beforeLateAck = instrument.receivedCount();
    instrument.reply(ack);
    sysex::Identity identity;
    identity.modelCode = 4;
    instrument.reply(sysex::identityReply(identity));
    ASSERT_TRUE(pumpUntil([&] { return isConnectedAndIdle(); }));
    const auto after = sentSince(beforeLateAck);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), sysex::dumpRequest(0x7D));
    EXPECT_EQ(instrument.upload().faults, 0);
    EXPECT_TRUE(instrument.upload().cancelled);
}

TEST_F(TonewheelUpload, RefusedFilesShowOneMessageAndSendNothing)
{
    struct Case
    {
        const char* name;
        Bytes image;
        const char* text;
        bool folderMoves;
    };
    const auto good = tonewheelFileImage(patternData(100), "Good");
    auto tooLarge = tonewheelFileImage(patternData(1048513), "Large");
    auto tooLargeWrongMagic = tooLarge;
    tooLargeWrongMagic[3] = 0x28;
    const Case cases[] = {
        {"a/wheel.txt", good, texts::fileNotValid, false},
        {"b/wheel", good, texts::fileNotValid, false},
        {"c/wheel.tkp", good, texts::fileNotValid, false},
        {"d/magic.ktw", tonewheelFileImage(patternData(100), "Bad", 0x27071964),
         texts::fileCorrupted, true},
        {"e/large.KTW", tooLarge, texts::fileCorrupted, true},
        {"f/both.ktw", tooLargeWrongMagic, texts::fileCorrupted, true},
        {"g/nameonly.ktw", tonewheelFileImage({}, "No data"), texts::fileCorrupted, true},
        {"h/tiny.ktw", Bytes{0x63, 0x19, 0x07}, texts::fileCorrupted, true},
        // A file that cannot be read is not called corrupted: the closest text is "not valid".
        {"i/missing.ktw", Bytes{}, texts::fileNotValid, true}, // not on the disk at all
        {"j/folder.ktw", Bytes{}, texts::fileNotValid, true},  // a folder: every read fails
    };
    connect();
    boxes.answer(texts::fileNotValid, texts::ok);
    boxes.answer(texts::fileCorrupted, texts::ok);
    const Bytes earlierData = patternData(64, 11);
    const auto earlierName = tonewheelFileImage({}, "Earlier");
    probe.link().transfer.load(earlierName.data() + 32, earlierData.data(), 64);

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto file = write(c.name, c.image);
        if (juce::String(c.name).startsWith("j/"))
        {
            ASSERT_TRUE(file.createDirectory());
        }
        const auto folderBefore = probe.lastFileFolder();
        const auto seenBefore = boxes.seen.size();
        const auto sentBefore = instrument.receivedCount();

        editor.core().loadTonewheelFrom(file, 3);
        ASSERT_TRUE(boxes.settle());

        ASSERT_EQ(boxes.seen.size(), seenBefore + 1);
        EXPECT_EQ(boxes.seen.back().message, c.text);
        EXPECT_EQ(probe.messageBox(), nullptr);
        EXPECT_EQ(instrument.receivedCount(), sentBefore);
        EXPECT_EQ(probe.lastFileFolder(), c.folderMoves ? file.getParentDirectory() : folderBefore);
        EXPECT_EQ(probe.link().transfer.bufferContents(64), earlierData);
        EXPECT_EQ(probe.link().transfer.phase(), TonewheelTransfer::Ended);
    }
    EXPECT_EQ(boxes.presses(texts::fileNotValid), 5);
    EXPECT_EQ(boxes.presses(texts::fileCorrupted), 5);
}

TEST_F(TonewheelUpload, TheQuestionNamesTheSlotAndNoLeavesEverythingAsItWas)
{
    connect();
    instrument.reply(sysex::tonewheelNameMessage(5, "Jazz"));
    ASSERT_TRUE(pumpUntil([&] { return probe.link().tonewheelName(5) == "ALT3 -  Jazz"; }));

    // An earlier upload, finished.
    const Bytes earlierData = patternData(500, 5);
    const auto earlierName = tonewheelFileImage({}, "Earlier");
    probe.link().transfer.load(earlierName.data() + 32, earlierData.data(), 500);
    const auto phase = probe.link().transfer.phase();
    const auto remaining = probe.link().transfer.bytesRemaining();
    const auto type = probe.link().transfer.dumpType();

    struct Case
    {
        uint8_t slot;
        const char* question;
    };
    const Case cases[] = {
        {3, "  Warning!  \"ALT1 -  TONEWHEEL BC_1936\" will be lost.  Are you sure ? "},
        {5, "  Warning!  \"ALT3 -  Jazz\" will be lost.  Are you sure ? "},
    };
    boxes.answer(texts::tonewheelWarningPrefix, texts::no);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.slot));
        const auto file = write(juce::String("slot") + juce::String(c.slot) + "/w.ktw",
                                tonewheelFileImage(patternData(2000), "New"));
        const auto sentBefore = instrument.receivedCount();
        editor.core().loadTonewheelFrom(file, c.slot);
        ASSERT_TRUE(boxes.settle());

        ASSERT_FALSE(boxes.seen.empty());
        EXPECT_EQ(boxes.seen.back().message, c.question);
        EXPECT_EQ(probe.messageBox(), nullptr);
        EXPECT_EQ(instrument.receivedCount(), sentBefore);
        EXPECT_EQ(probe.lastFileFolder(), file.getParentDirectory());
        EXPECT_EQ(probe.link().transfer.bufferContents(500), earlierData);
        filedump::Name name{};
        std::copy(earlierName.begin() + 32, earlierName.end(), name.begin());
        EXPECT_EQ(probe.link().transfer.dumpName(), name);
        EXPECT_EQ(probe.link().transfer.phase(), phase);
        EXPECT_EQ(probe.link().transfer.bytesRemaining(), remaining);
        EXPECT_EQ(probe.link().transfer.dumpType(), type);
        EXPECT_TRUE(probe.supervisor().isConnected());
    }
}

TEST_F(TonewheelUpload, WithoutAConnectionNothingHappens)
{
    const auto file = write("wheel.ktw", tonewheelFileImage(patternData(100), "Wheel"));
    const auto folderBefore = probe.lastFileFolder();
    editor.core().loadTonewheelFile(3); // would open the chooser if it went on
    editor.core().loadTonewheelFrom(file, 3);
    editor.core().loadTonewheelFrom(folder.getChildFile("wheel.txt"), 3);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(probe.messageBox(), nullptr);
    EXPECT_EQ(instrument.receivedCount(), 0u);
    EXPECT_EQ(probe.lastFileFolder(), folderBefore);
}
