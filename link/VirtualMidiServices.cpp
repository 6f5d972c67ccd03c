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
    std::shared_ptr<const Receiver> receiver; // guarded by lock
    int openCount = 0;                        // guarded by lock
    std::mutex lock;
    // Serialises the sends and a change of receiver. The receiver runs with
    // only this held, so that it may open, close or ask about ports; it is
    // recursive, so that a receiver may also send on the port it serves.
    std::recursive_mutex sendLock;
};

namespace
{
// One started period of an input: its queue and the thread that delivers it.
// A stopped run delivers nothing more; a new start gets a new run, so that
// nothing queued before a stop arrives after it.
struct DeliveryRun
{
    explicit DeliveryRun(juce::MidiInputCallback* inputCallback) : callback(inputCallback) {}

    juce::MidiInputCallback* const callback;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::vector<uint8_t>> queue; // guarded by lock
    bool stopped = false;                   // guarded by lock
    std::thread thread; // set once by start, then used only by the stop that ends the run
};

// The run whose messages the calling thread delivers, if it is a delivery thread.
thread_local const DeliveryRun* deliveringRun = nullptr;

void deliver(const std::shared_ptr<DeliveryRun>& run)
{
    deliveringRun = run.get();
    std::unique_lock<std::mutex> lock(run->lock);
    for (;;)
    {
        run->wake.wait(lock, [&] { return run->stopped || !run->queue.empty(); });
        if (run->stopped)
            return;
        auto bytes = std::move(run->queue.front());
        run->queue.pop_front();
        lock.unlock();
        const juce::MidiMessage message(bytes.data(), static_cast<int>(bytes.size()));
        run->callback->handleIncomingMidiMessage(nullptr, message);
        lock.lock();
    }
}
} // namespace

// An open input. Its callback may stop, restart or destroy it: the delivery
// thread then only finishes the call it is in and ends on its own, since it
// cannot wait for itself. Every other caller of stop() (and the destructor)
// returns only after the delivery thread has ended.
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
        const std::lock_guard<std::mutex> lock(runLock);
        if (current != nullptr)
            return;
        auto run = std::make_shared<DeliveryRun>(callback);
        run->thread = std::thread([run] { deliver(run); });
        current = std::move(run);
    }

    void stop() override
    {
        std::shared_ptr<DeliveryRun> run;
        {
            const std::lock_guard<std::mutex> lock(runLock);
            run = std::move(current);
        }
        if (run == nullptr)
            return;
        {
            const std::lock_guard<std::mutex> lock(run->lock);
            run->stopped = true;
            run->queue
                .clear(); // what nobody has received yet is dropped, as a closed port drops it
        }
        run->wake.notify_all();
        if (deliveringRun == run.get())
            run->thread.detach(); // called back from its own delivery: it ends after this call
        else
            run->thread.join();
    }

    void enqueue(const uint8_t* data, size_t size)
    {
        const std::lock_guard<std::mutex> lock(runLock);
        if (current == nullptr)
            return;
        {
            const std::lock_guard<std::mutex> runGuard(current->lock);
            current->queue.emplace_back(data, data + size);
        }
        current->wake.notify_one();
    }

private:
    std::shared_ptr<VirtualMidiServices::InputPortState> port;
    juce::MidiInputCallback* const callback;
    std::mutex runLock;                   // guards current
    std::shared_ptr<DeliveryRun> current; // null while stopped
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
        const std::lock_guard<std::recursive_mutex> serialised(port->sendLock);
        std::shared_ptr<const VirtualMidiServices::Receiver> receiver;
        {
            const std::lock_guard<std::mutex> lock(port->lock);
            receiver = port->receiver;
        }
        if (receiver != nullptr && *receiver)
            (*receiver)(message.getRawData(), static_cast<size_t>(message.getRawDataSize()));
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
    state->receiver = std::make_shared<const Receiver>(std::move(receiver));
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
        // Waits for a send in progress: once this returns, the old receiver is
        // neither running (on another thread) nor called again.
        const std::lock_guard<std::recursive_mutex> serialised(state->sendLock);
        auto shared = std::make_shared<const Receiver>(std::move(receiver));
        const std::lock_guard<std::mutex> lock(state->lock);
        state->receiver = std::move(shared);
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

std::unique_ptr<MidiInputPort>
VirtualMidiServices::openInputDevice(int index, juce::MidiInputCallback* callback)
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
