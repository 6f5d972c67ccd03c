#include "link/VirtualMidiServices.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <thread>

namespace kestra
{

class VirtualInput;

struct VirtualMidiServices::InputPortState
{
    std::string name;
    bool busy = false;
    std::vector<VirtualInput*> openInputs; // guarded by lock
    std::mutex lock;
};

struct VirtualMidiServices::OutputPortState
{
    std::string name;
    bool busy = false;
    Receiver receiver; // guarded by lock; called with the lock held, so sends are serialised
    int openCount = 0;
    std::mutex lock;
};

// An open input: a queue and a delivery thread that calls the editor's callback.
class VirtualInput final : public MidiInputPort
{
public:
    VirtualInput(std::shared_ptr<VirtualMidiServices::InputPortState> portState,
                 juce::MidiInputCallback* inputCallback)
        : port(std::move(portState)), callback(inputCallback)
    {
        const std::lock_guard<std::mutex> lock(port->lock);
        port->openInputs.push_back(this);
    }

    ~VirtualInput() override
    {
        {
            const std::lock_guard<std::mutex> lock(port->lock);
            auto& open = port->openInputs;
            open.erase(std::remove(open.begin(), open.end(), this), open.end());
        }
        stop();
    }

    void start() override
    {
        const std::lock_guard<std::mutex> lock(queueLock);
        if (running)
            return;
        running = true;
        delivery = std::thread([this] { deliver(); });
    }

    void stop() override
    {
        {
            const std::lock_guard<std::mutex> lock(queueLock);
            if (!running)
                return;
            running = false;
        }
        wake.notify_all();
        if (delivery.joinable())
            delivery.join();
    }

    void enqueue(const uint8_t* data, size_t size)
    {
        {
            const std::lock_guard<std::mutex> lock(queueLock);
            if (!running)
                return;
            queue.emplace_back(data, data + size);
        }
        wake.notify_one();
    }

private:
    void deliver()
    {
        std::unique_lock<std::mutex> lock(queueLock);
        for (;;)
        {
            wake.wait(lock, [this] { return !running || !queue.empty(); });
            if (!running)
                return;
            auto bytes = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            const juce::MidiMessage message(bytes.data(), static_cast<int>(bytes.size()));
            callback->handleIncomingMidiMessage(nullptr, message);
            lock.lock();
        }
    }

    std::shared_ptr<VirtualMidiServices::InputPortState> port;
    juce::MidiInputCallback* callback;
    std::mutex queueLock;
    std::condition_variable wake;
    std::deque<std::vector<uint8_t>> queue;
    bool running = false;
    std::thread delivery;
};

namespace
{
class VirtualOutput final : public MidiOutputPort
{
public:
    explicit VirtualOutput(std::shared_ptr<VirtualMidiServices::OutputPortState> portState)
        : port(std::move(portState))
    {
        const std::lock_guard<std::mutex> lock(port->lock);
        ++port->openCount;
    }

    ~VirtualOutput() override
    {
        const std::lock_guard<std::mutex> lock(port->lock);
        --port->openCount;
    }

    void sendMessageNow(const juce::MidiMessage& message) override
    {
        const std::lock_guard<std::mutex> lock(port->lock);
        if (port->receiver)
            port->receiver(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
    }

private:
    std::shared_ptr<VirtualMidiServices::OutputPortState> port;
};
} // namespace

VirtualMidiServices::VirtualMidiServices() = default;
VirtualMidiServices::~VirtualMidiServices() = default;

int VirtualMidiServices::addInputPort(const std::string& name, bool busy)
{
    auto state = std::make_shared<InputPortState>();
    state->name = name;
    state->busy = busy;
    const std::lock_guard<std::mutex> lock(portsLock);
    inputs.push_back(std::move(state));
    return static_cast<int>(inputs.size()) - 1;
}

int VirtualMidiServices::addOutputPort(const std::string& name, Receiver receiver, bool busy)
{
    auto state = std::make_shared<OutputPortState>();
    state->name = name;
    state->busy = busy;
    state->receiver = std::move(receiver);
    const std::lock_guard<std::mutex> lock(portsLock);
    outputs.push_back(std::move(state));
    return static_cast<int>(outputs.size()) - 1;
}

std::shared_ptr<VirtualMidiServices::InputPortState> VirtualMidiServices::input(int index) const
{
    const std::lock_guard<std::mutex> lock(portsLock);
    if (index < 0 || index >= static_cast<int>(inputs.size()))
        return nullptr;
    return inputs[static_cast<size_t>(index)];
}

std::shared_ptr<VirtualMidiServices::OutputPortState> VirtualMidiServices::output(int index) const
{
    const std::lock_guard<std::mutex> lock(portsLock);
    if (index < 0 || index >= static_cast<int>(outputs.size()))
        return nullptr;
    return outputs[static_cast<size_t>(index)];
}

void VirtualMidiServices::setInputBusy(int index, bool busy)
{
    if (auto state = input(index))
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        state->busy = busy;
    }
}

void VirtualMidiServices::setOutputBusy(int index, bool busy)
{
    if (auto state = output(index))
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        state->busy = busy;
    }
}

void VirtualMidiServices::setOutputReceiver(int index, Receiver receiver)
{
    if (auto state = output(index))
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        state->receiver = std::move(receiver);
    }
}

void VirtualMidiServices::sendToEditor(int inputIndex, const uint8_t* data, size_t size)
{
    if (auto state = input(inputIndex))
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        for (auto* open : state->openInputs)
            open->enqueue(data, size);
    }
}

int VirtualMidiServices::openInputCount(int index) const
{
    if (auto state = input(index))
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        return static_cast<int>(state->openInputs.size());
    }
    return 0;
}

int VirtualMidiServices::openOutputCount(int index) const
{
    if (auto state = output(index))
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        return state->openCount;
    }
    return 0;
}

juce::StringArray VirtualMidiServices::getInputDeviceNames()
{
    const std::lock_guard<std::mutex> lock(portsLock);
    juce::StringArray names;
    for (const auto& state : inputs)
        names.add(juce::String(state->name));
    return names;
}

juce::StringArray VirtualMidiServices::getOutputDeviceNames()
{
    const std::lock_guard<std::mutex> lock(portsLock);
    juce::StringArray names;
    for (const auto& state : outputs)
        names.add(juce::String(state->name));
    return names;
}

std::unique_ptr<MidiInputPort> VirtualMidiServices::openInputDevice(
    int index, juce::MidiInputCallback* callback)
{
    auto state = input(index);
    if (state == nullptr || callback == nullptr)
        return nullptr;
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        if (state->busy)
            return nullptr;
    }
    return std::make_unique<VirtualInput>(std::move(state), callback);
}

std::unique_ptr<MidiOutputPort> VirtualMidiServices::openOutputDevice(int index)
{
    auto state = output(index);
    if (state == nullptr)
        return nullptr;
    {
        const std::lock_guard<std::mutex> lock(state->lock);
        if (state->busy)
            return nullptr;
    }
    return std::make_unique<VirtualOutput>(std::move(state));
}

} // namespace kestra
