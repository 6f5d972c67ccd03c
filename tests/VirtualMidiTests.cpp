// The in-process MIDI ports: device lists, busy ports, delivery on a thread
// of the input's own, in order, and closing that stops delivery.

#include "link/VirtualMidiServices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
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
    const int out = midi.addOutputPort("Out", [&](const uint8_t* data, size_t size) {
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
        senders.emplace_back([&] {
            for (int i = 0; i < 100; ++i)
                output->sendMessageNow(juce::MidiMessage::createSysExMessage("\x01\x02", 2));
        });
    for (auto& s : senders)
        s.join();

    EXPECT_EQ(received.size(), 400u);
    EXPECT_EQ(maxInside, 1);
    EXPECT_EQ(received.front(), (std::vector<uint8_t>{0xF0, 0x01, 0x02, 0xF7}));
}
