// The in-process MIDI ports: device lists, busy ports, delivery on a thread
// of the input's own, in order, and closing that stops delivery.

#include "link/VirtualMidiServices.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <thread>

using namespace kestra;

namespace
{
class Collector final : public juce::MidiInputCallback
{
public:
    void handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        received.emplace_back(message.getRawData(),
                              message.getRawData() + message.getRawDataSize());
        threads.push_back(std::this_thread::get_id());
        changed.notify_all();
    }

    bool waitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5),
                                [&] { return received.size() >= count; });
    }

    std::vector<std::vector<uint8_t>> messages()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    std::vector<std::thread::id> deliveryThreads()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return threads;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<uint8_t>> received;
    std::vector<std::thread::id> threads;
};
} // namespace

TEST(VirtualMidi, DeviceListsAndBusyPorts)
{
    VirtualMidiServices midi;
    midi.addInputPort("Dummy In");
    const int in = midi.addInputPort("Tollmark Kestra MIDI Port", true);
    const int out = midi.addOutputPort("Tollmark Kestra MIDI Port", nullptr);
    EXPECT_EQ(midi.getInputDeviceNames(),
              juce::StringArray({"Dummy In", "Tollmark Kestra MIDI Port"}));
    EXPECT_EQ(midi.getOutputDeviceNames(), juce::StringArray({"Tollmark Kestra MIDI Port"}));

    Collector collector;
    EXPECT_EQ(midi.openInputDevice(in, &collector), nullptr);
    midi.setInputBusy(in, false);
    EXPECT_NE(midi.openInputDevice(in, &collector), nullptr);
    EXPECT_EQ(midi.openInputDevice(-1, &collector), nullptr);
    EXPECT_EQ(midi.openInputDevice(2, &collector), nullptr);

    midi.setOutputBusy(out, true);
    EXPECT_EQ(midi.openOutputDevice(out), nullptr);
    EXPECT_EQ(midi.openOutputDevice(1), nullptr);
}

TEST(VirtualMidi, DeliversInOrderOnTheInputsOwnThreadOnlyWhileStarted)
{
    VirtualMidiServices midi;
    const int in = midi.addInputPort("In");
    Collector collector;

    midi.sendToEditor(in, {0xF0, 0x01, 0xF7}); // nobody listening: dropped
    auto input = midi.openInputDevice(in, &collector);
    ASSERT_NE(input, nullptr);
    midi.sendToEditor(in, {0xF0, 0x02, 0xF7}); // open but not started: dropped
    input->start();
    for (uint8_t i = 0; i < 50; ++i)
        midi.sendToEditor(in, {0xF0, i, 0xF7});
    ASSERT_TRUE(collector.waitFor(50));

    const auto messages = collector.messages();
    ASSERT_EQ(messages.size(), 50u);
    for (uint8_t i = 0; i < 50; ++i)
        EXPECT_EQ(messages[i], (std::vector<uint8_t>{0xF0, i, 0xF7}));
    for (auto id : collector.deliveryThreads())
        EXPECT_NE(id, std::this_thread::get_id());

    EXPECT_EQ(midi.openInputCount(in), 1);
    input.reset(); // stops delivery before it returns
    EXPECT_EQ(midi.openInputCount(in), 0);
    midi.sendToEditor(in, {0xF0, 0x03, 0xF7});
    EXPECT_EQ(collector.messages().size(), 50u);
}

TEST(VirtualMidi, OutputReachesTheDeviceSeriallyFromManyThreads)
{
    VirtualMidiServices midi;
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> received;
    int inside = 0, maxInside = 0;
    const int out = midi.addOutputPort("Out",
                                       [&](const uint8_t* data, size_t size)
                                       {
                                           {
                                               const std::lock_guard<std::mutex> lock(mutex);
                                               maxInside = std::max(maxInside, ++inside);
                                               received.emplace_back(data, data + size);
                                           }
                                           std::this_thread::yield();
                                           const std::lock_guard<std::mutex> lock(mutex);
                                           --inside;
                                       });
    auto output = midi.openOutputDevice(out);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(midi.openOutputCount(out), 1);

    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back(
            [&]
            {
                for (int i = 0; i < 100; ++i)
                    output->sendMessageNow(juce::MidiMessage::createSysExMessage("\x01\x02", 2));
            });
    for (auto& s : senders)
        s.join();

    EXPECT_EQ(received.size(), 400u);
    EXPECT_EQ(maxInside, 1);
    EXPECT_EQ(received.front(), (std::vector<uint8_t>{0xF0, 0x01, 0x02, 0xF7}));
}

// ---- an input's callback and its own port ----------------------------------------------------

namespace
{
// A callback that runs an action on its own delivery thread for the message
// whose second byte is `trigger`, and records everything it is given.
class ActingCallback final : public juce::MidiInputCallback
{
public:
    std::function<void()> action;
    uint8_t trigger = 0x01;

    void handleIncomingMidiMessage(juce::MidiInput*, const juce::MidiMessage& message) override
    {
        const uint8_t second = message.getRawDataSize() > 1 ? message.getRawData()[1] : 0;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            received.push_back(second);
        }
        if (second == trigger && action)
            action();
        const std::lock_guard<std::mutex> lock(mutex);
        ++done;
        changed.notify_all();
    }

    bool waitForDone(int count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return done >= count; });
    }

    std::vector<uint8_t> seconds()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> received;
    int done = 0;
};

// Lets one thread wait until another opens it.
class Gate
{
public:
    void open()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        isOpen = true;
        changed.notify_all();
    }
    bool wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return isOpen; });
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool isOpen = false;
};
} // namespace

TEST(VirtualMidi, ACallbackMayStopItsOwnInputWhichDropsWhatWasQueuedAndStartsAfresh)
{
    VirtualMidiServices midi;
    const int in = midi.addInputPort("In");
    ActingCallback callback;
    auto input = midi.openInputDevice(in, &callback);
    ASSERT_NE(input, nullptr);

    Gate queuedBehind;
    callback.action = [&]
    {
        queuedBehind.wait(); // messages 2 ... 5 wait in the queue behind this one
        input->stop();       // on its own delivery thread: must not wait for itself
    };
    input->start();
    midi.sendToEditor(in, {0xF0, 0x01, 0xF7});
    for (uint8_t i = 2; i <= 5; ++i)
        midi.sendToEditor(in, {0xF0, i, 0xF7});
    queuedBehind.open();
    ASSERT_TRUE(callback.waitForDone(1));

    midi.sendToEditor(in, {0xF0, 0x06, 0xF7}); // stopped: dropped
    input->start();
    midi.sendToEditor(in, {0xF0, 0x07, 0xF7});
    ASSERT_TRUE(callback.waitForDone(2));
    input.reset();
    EXPECT_EQ(callback.seconds(), (std::vector<uint8_t>{0x01, 0x07}));
}

TEST(VirtualMidi, ACallbackMayCloseItsOwnInput)
{
    VirtualMidiServices midi;
    const int in = midi.addInputPort("In");
    ActingCallback callback;
    std::unique_ptr<MidiInputPort> input;
    std::mutex inputMutex;
    callback.action = [&]
    {
        const std::lock_guard<std::mutex> lock(inputMutex);
        input.reset(); // the delivery thread ends after this call, on its own
    };
    {
        const std::lock_guard<std::mutex> lock(inputMutex);
        input = midi.openInputDevice(in, &callback);
        ASSERT_NE(input, nullptr);
        input->start();
    }
    midi.sendToEditor(in, {0xF0, 0x01, 0xF7});
    midi.sendToEditor(in, {0xF0, 0x02, 0xF7});
    ASSERT_TRUE(callback.waitForDone(1));

    EXPECT_EQ(midi.openInputCount(in), 0);
    midi.sendToEditor(in, {0xF0, 0x03, 0xF7});
    EXPECT_EQ(callback.seconds(), std::vector<uint8_t>{0x01});
}

TEST(VirtualMidi, StartAndStopFromManyThreadsWhileMessagesArrive)
{
    VirtualMidiServices midi;
    const int in = midi.addInputPort("In");
    Collector collector;
    auto input = midi.openInputDevice(in, &collector);
    ASSERT_NE(input, nullptr);

    std::atomic<bool> sending{true};
    std::thread sender(
        [&]
        {
            for (uint8_t i = 0; sending; i = static_cast<uint8_t>((i + 1) & 0x7F))
                midi.sendToEditor(in, {0xF0, i, 0xF7});
        });
    std::vector<std::thread> switchers;
    for (int t = 0; t < 4; ++t)
        switchers.emplace_back(
            [&, t]
            {
                for (int i = 0; i < 200; ++i)
                    (i + t) % 2 == 0 ? input->start() : input->stop();
            });
    for (auto& s : switchers)
        s.join();
    input->start();
    const auto before = collector.messages().size();
    ASSERT_TRUE(collector.waitFor(before + 10)); // still delivering
    sending = false;
    sender.join();
    input.reset();
    for (const auto& m : collector.messages())
        EXPECT_EQ(m.size(), 3u);
}

TEST(VirtualMidi, AReceiverMaySendOnItsPortAndOpenCloseAndAskAboutPorts)
{
    VirtualMidiServices midi;
    std::vector<std::vector<uint8_t>> received;
    std::vector<int> openCounts;
    std::unique_ptr<MidiOutputPort> output;
    int out = -1;
    out = midi.addOutputPort("Loop",
                             [&](const uint8_t* data, size_t size)
                             {
                                 received.emplace_back(data, data + size);
                                 openCounts.push_back(midi.openOutputCount(out));
                                 if (received.size() == 1)
                                 {
                                     // Echo once on the same port, and open and
                                     // close a second output of it meanwhile.
                                     auto second = midi.openOutputDevice(out);
                                     openCounts.push_back(midi.openOutputCount(out));
                                     second.reset();
                                     output->sendMessageNow(
                                         juce::MidiMessage::createSysExMessage("\x02", 1));
                                     midi.setOutputReceiver(out, nullptr);
                                 }
                             });
    output = midi.openOutputDevice(out);
    ASSERT_NE(output, nullptr);

    output->sendMessageNow(juce::MidiMessage::createSysExMessage("\x01", 1));
    output->sendMessageNow(juce::MidiMessage::createSysExMessage("\x03", 1)); // receiver gone
    EXPECT_EQ(received,
              (std::vector<std::vector<uint8_t>>{{0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0xF7}}));
    EXPECT_EQ(openCounts, (std::vector<int>{1, 2, 1}));
}
