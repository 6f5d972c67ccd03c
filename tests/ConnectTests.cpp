// Finding the instrument's ports in the real editor: the scan of every pair
// from the top, one pair every half second, with the pairs that cannot be
// opened skipped; the exact match of the port name; the busy port; the stored
// pair, tried first and written only after a completed handshake; Cancel of
// the search; and disconnecting.

#include "ConnectTestSupport.h"

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace kestra::connecttest;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;

namespace
{
struct Port
{
    std::string name;
    bool busy = false;
};

std::vector<Port> named(const std::vector<std::string>& names)
{
    std::vector<Port> ports;
    for (const auto& name : names)
        ports.push_back({name, false});
    return ports;
}

// Ports that never answer. Every message sent to an output is kept with that
// output, the input open at that moment and the time.
class SilentPorts
{
public:
    struct Request
    {
        int output;
        int input;
        Bytes bytes;
        Clock::time_point at;
    };

    SilentPorts(VirtualMidiServices& services, const std::vector<Port>& inputs,
                const std::vector<Port>& outputs)
        : midi(services), numInputs(static_cast<int>(inputs.size()))
    {
        for (const auto& port : inputs)
            midi.addInputPort(port.name, port.busy);
        for (size_t j = 0; j < outputs.size(); ++j)
            midi.addOutputPort(
                outputs[j].name,
                [this, j](const uint8_t* data, size_t size)
                { record(static_cast<int>(j), Bytes(data, data + size)); },
                outputs[j].busy);
    }

    std::vector<Request> requests()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    // (output, input) of every message, in order.
    std::vector<std::pair<int, int>> pairs()
    {
        std::vector<std::pair<int, int>> result;
        for (const auto& r : requests())
            result.emplace_back(r.output, r.input);
        return result;
    }

private:
    void record(int output, Bytes bytes)
    {
        int input = -1;
        for (int i = 0; i < numInputs; ++i)
            if (midi.openInputCount(i) > 0)
                input = input < 0 ? i : -2; // -2: more than one input open
        const std::lock_guard<std::mutex> lock(mutex);
        received.push_back({output, input, std::move(bytes), Clock::now()});
    }

    VirtualMidiServices& midi;
    const int numInputs;
    std::mutex mutex;
    std::vector<Request> received;
};

// The editor on silent ports, started with the given stored pair (-1: none).
struct PortsRig
{
    PortsRig(const std::vector<Port>& inputs, const std::vector<Port>& outputs,
             int storedInput = -1, int storedOutput = -1)
        : PortsRig(inputs, outputs, prepare(storedInput, storedOutput))
    {
    }

    // On the settings file as it is.
    PortsRig(const std::vector<Port>& inputs, const std::vector<Port>& outputs,
             VirtualMidiServices* services)
        : midi(services), ports(*midi, inputs, outputs), editor(std::unique_ptr<MidiServices>(midi))
    {
    }

    static VirtualMidiServices* prepare(int storedInput, int storedOutput)
    {
        removeSettings();
        if (storedInput != -1 || storedOutput != -1)
            writeSettings(storedInput, storedOutput);
        return new VirtualMidiServices;
    }

    juce::String searchBoxText() const
    {
        return probe.messageBox() != nullptr ? messageOf(*probe.messageBox()) : juce::String();
    }

    // Presses "Cancel" on the searching box and waits until the search is over.
    bool cancelSearch()
    {
        if (probe.messageBox() == nullptr)
            return false;
        probe.messageBox()->triggerButtonClick(texts::cancel);
        return pumpUntil(
            [this] { return probe.messageBox() == nullptr && isReleased(probe.connectButton()); });
    }

    VirtualMidiServices* midi; // owned by the editor, which outlives nothing here but the ports
    SilentPorts ports;
    MainContentComponent editor;
    EditorTestProbe probe{editor};
};

const Bytes identityRequest = sysex::identityRequest();

// ---- the scan -----------------------------------------------------------------------------------

struct ScanCase
{
    const char* name;
    std::vector<Port> inputs;
    std::vector<Port> outputs;
    int storedInput;
    int storedOutput;
    std::vector<std::pair<int, int>> pairs; // (output, input), in the order tried
    bool inputLeftOpen;                     // the last pair stays open
    bool outputLeftOpen;
};

const Port in0{"Midi Through Port-0"};
const Port in1{"USB MIDI Interface 1"};
const Port out0{"Midi Through Port-0"};
const Port out1{"USB MIDI Interface 1"};
const Port out2{"USB MIDI Interface 2"};
Port busy(Port port)
{
    port.busy = true;
    return port;
}

const ScanCase scanCases[] = {
    {"NoDevicesAtAll", {}, {}, -1, -1, {}, false, false},
    {"TwoInputsThreeOutputs",
     {in0, in1},
     {out0, out1, out2},
     -1,
     -1,
     {{2, 1}, {2, 0}, {1, 1}, {1, 0}, {0, 1}, {0, 0}},
     true,
     true},
    {"PairsThatCannotOpenAreSkipped",
     {in0, busy(in1)},
     {out0, busy(out1), out2},
     -1,
     -1,
     {{2, 0}, {0, 0}},
     true,
     true},
    {"NoInputOpens", {busy(in0), busy(in1)}, {out0, out1}, -1, -1, {}, false, true},
    {"AStoredPairThatDoesNotOpen", {in0}, {out0}, 4, 3, {{0, 0}}, true, true},
};

void PrintTo(const ScanCase& c, std::ostream* os)
{
    *os << c.name;
}

struct PortScan : ::testing::TestWithParam<ScanCase>
{
};
} // namespace

TEST_P(PortScan, TriesThePairsFromTheTopOneEveryHalfSecondThenReportsNotFound)
{
    const auto& c = GetParam();
    PortsRig rig(c.inputs, c.outputs, c.storedInput, c.storedOutput);
    BoxWatcher boxes;

    const auto start = Clock::now();
    click(rig.probe.connectButton());
    EXPECT_TRUE(rig.ports.requests().empty()) << "nothing answers at the start";
    ASSERT_TRUE(pumpUntil([&] { return isReleased(rig.probe.connectButton()); }, 20s));
    ASSERT_TRUE(boxes.settle());

    EXPECT_EQ(rig.ports.pairs(), c.pairs);
    const auto requests = rig.ports.requests();
    for (const auto& r : requests)
        EXPECT_EQ(r.bytes, identityRequest);
    EXPECT_EQ(boxes.messages(),
              (std::vector<juce::String>{texts::searching, texts::deviceNotFound}));
    ASSERT_EQ(boxes.seen.size(), 2u);
    EXPECT_EQ(boxes.seen[0].buttons, juce::StringArray(texts::cancel));
    EXPECT_EQ(boxes.seen[1].title, texts::boxTitle);
    EXPECT_EQ(boxes.seen[1].buttons, juce::StringArray(texts::ok));

    // One pair every 500 ms after the connect, and the not-found box 500 ms
    // after the last. The timers are real and only about right under load (a
    // timer may fire up to a message dispatch early), so the bounds are
    // generous: enough to tell a pair that waits from one skipped at once.
    std::vector<Clock::time_point> times;
    for (const auto& r : requests)
        times.push_back(r.at);
    times.push_back(boxes.seen[1].at);
    auto previous = start;
    for (const auto& t : times)
    {
        const double gap = millisecondsBetween(previous, t);
        EXPECT_GE(gap, 300.0);
        EXPECT_LE(gap, 2500.0);
        previous = t;
    }

    EXPECT_FALSE(rig.probe.isTimerRunning(PortScanTimer));
    EXPECT_FALSE(rig.probe.supervisor().isConnected());
    EXPECT_EQ(rig.probe.messageBox(), nullptr);
    EXPECT_EQ(rig.probe.hasInput(), c.inputLeftOpen);
    EXPECT_EQ(rig.probe.hasOutput(), c.outputLeftOpen);
    if (c.inputLeftOpen)
    {
        EXPECT_EQ(rig.midi->openInputCount(c.pairs.back().second), 1);
    }
    if (c.storedInput == -1)
    {
        EXPECT_FALSE(settingsFile().exists());
    }
    else
    {
        EXPECT_EQ(readSettings(), storedPair(c.storedInput, c.storedOutput)) << "unchanged";
    }

    // Nothing more is tried afterwards.
    const auto tried = requests.size();
    pumpFor(700ms);
    EXPECT_EQ(rig.ports.requests().size(), tried);
    EXPECT_EQ(boxes.seen.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PortScan, ::testing::ValuesIn(scanCases),
                         [](const ::testing::TestParamInfo<ScanCase>& p)
                         { return std::string(p.param.name); });

// ---- the port name
// ----------------------------------------------------------------------------------

TEST(PortName, IsMatchedExactlyAmongInputsAndOutputsAtTheLowestIndexElseTheStoredPairIsTried)
{
    const std::string p = portName;
    struct Case
    {
        const char* what;
        std::vector<std::string> inputs;
        std::vector<std::string> outputs;
        int input; // the pair tried at once
        int output;
    };
    // The stored pair is input 0 and output 0 in every case.
    const Case cases[] = {
        {"once among each", {"Midi Through Port-0", p}, {"Midi Through Port-0", "USB 1", p}, 1, 2},
        {"twice among each: the lowest index", {"A", p, p}, {"A", "B", p, "C", p}, 1, 2},
        {"other letter case", {"A", "tollmark kestra midi port"}, {"A", p}, 0, 0},
        {"all capitals", {"A", "TOLLMARK KESTRA MIDI PORT"}, {"A", p}, 0, 0},
        {"characters after", {"A", p + " 2"}, {"A", p}, 0, 0},
        {"a blank before", {"A", " " + p}, {"A", p}, 0, 0},
        {"the start of the name only", {"A", "Tollmark Kestra MIDI"}, {"A", p}, 0, 0},
        {"among the inputs only", {"A", p}, {"A", "B"}, 0, 0},
        {"among the outputs only", {"A", "B"}, {"A", p}, 0, 0},
        {"the names of other letter case among the outputs",
         {"A", p},
         {"A", "TOLLMARK KESTRA MIDI PORT"},
         0,
         0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        PortsRig rig(named(c.inputs), named(c.outputs), 0, 0);
        BoxWatcher boxes;

        click(rig.probe.connectButton());

        EXPECT_EQ(rig.ports.pairs(), (std::vector<std::pair<int, int>>{{c.output, c.input}}));
        EXPECT_EQ(rig.probe.inputIndex(), c.input);
        EXPECT_EQ(rig.probe.outputIndex(), c.output);
        EXPECT_EQ(rig.searchBoxText(), texts::searching);
        EXPECT_TRUE(rig.probe.isTimerRunning(PortScanTimer));
        EXPECT_TRUE(rig.probe.connectButton().getToggleState());
        EXPECT_TRUE(rig.cancelSearch());
    }
}

TEST(PortName, ABusyPortIsReportedAndNothingIsSearched)
{
    struct Case
    {
        const char* what;
        const char* options;
        bool outputOnly;
    };
    const Case cases[] = {
        {"the whole pair is held", "busy", false},
        {"only the output is held", "", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        SimulatedRig rig(c.options);
        if (c.outputOnly)
            rig.midi().setOutputBusy(rig.instrument().outputIndex(), true);
        BoxWatcher boxes;

        click(rig.probe.connectButton());
        ASSERT_TRUE(boxes.settle());

        EXPECT_EQ(boxes.messages(), std::vector<juce::String>{texts::portBusy});
        EXPECT_TRUE(isReleased(rig.probe.connectButton()));
        EXPECT_EQ(rig.probe.messageBox(), nullptr);
        EXPECT_FALSE(rig.probe.isTimerRunning(PortScanTimer));
        EXPECT_FALSE(rig.probe.hasOutput());
        // The input stays open when it was the output that failed.
        EXPECT_EQ(rig.probe.hasInput(), c.outputOnly);
        EXPECT_EQ(rig.midi().openInputCount(rig.instrument().inputIndex()), c.outputOnly ? 1 : 0);
        EXPECT_TRUE(rig.showsDisconnected());
        pumpFor(700ms);
        EXPECT_EQ(rig.received(SimulatedInstrument::Received::identityRequest), 0);
        EXPECT_EQ(boxes.seen.size(), 1u);
    }
}

// ---- the stored pair
// ----------------------------------------------------------------------------------

TEST(StoredPair, IsWrittenOnlyAfterACompletedHandshakeAndTriedFirstNextTime)
{
    {
        // The named pair at input 1 and output 2; each dump section takes a while.
        SimulatedRig rig("extra-inputs=1,extra-outputs=2,dump-delay=300");
        ASSERT_EQ(rig.instrument().inputIndex(), 1);
        ASSERT_EQ(rig.instrument().outputIndex(), 2);
        EXPECT_FALSE(settingsFile().exists());
        click(rig.probe.connectButton());
        ASSERT_TRUE(pumpUntil([&] { return rig.probe.supervisor().state() == AwaitingSection7C; }));
        EXPECT_FALSE(settingsFile().exists()) << "not before the handshake has completed";
        ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));
        EXPECT_EQ(readSettings(), storedPair(1, 2));
    }

    // The next start, without a port of the name: input 1 and output 2 first.
    PortsRig rig(named({"A", "B", "C"}), named({"A", "B", "C"}), new VirtualMidiServices);
    click(rig.probe.connectButton());
    EXPECT_EQ(rig.ports.pairs(), (std::vector<std::pair<int, int>>{{2, 1}}));
    EXPECT_TRUE(rig.cancelSearch());
}

// ---- Cancel and disconnect
// ------------------------------------------------------------------------

TEST(Search, CancelStopsItAndLeavesThePortsOpen)
{
    SimulatedRig rig("silent");
    BoxWatcher boxes;
    click(rig.probe.connectButton());
    ASSERT_EQ(rig.boxText(), texts::searching);
    ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
    EXPECT_EQ(rig.received(SimulatedInstrument::Received::identityRequest), 1);
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::searching); })); // read by the user

    rig.probe.messageBox()->triggerButtonClick(texts::cancel);
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.messageBox() == nullptr; }));

    EXPECT_TRUE(isReleased(rig.probe.connectButton()));
    EXPECT_FALSE(rig.probe.isTimerRunning(PortScanTimer));
    EXPECT_FALSE(rig.probe.isTimerRunning(DumpTimeoutTimer));
    EXPECT_TRUE(rig.showsDisconnected());
    EXPECT_TRUE(rig.probe.hasInput());
    EXPECT_TRUE(rig.probe.hasOutput());

    // No further IdentityRequest, no other box.
    pumpFor(800ms);
    ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
    EXPECT_EQ(rig.received(SimulatedInstrument::Received::identityRequest), 1);
    EXPECT_EQ(boxes.messages(), std::vector<juce::String>{texts::searching});
    EXPECT_FALSE(settingsFile().exists());
}

TEST(Search, ClickingConnectWhileConnectedDisconnects)
{
    SimulatedRig rig;
    BoxWatcher boxes;
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.showsConnected());

    click(rig.probe.connectButton());

    EXPECT_TRUE(rig.showsDisconnected());
    EXPECT_FALSE(rig.probe.connectButton().getToggleState());
    EXPECT_FALSE(rig.probe.hasInput());
    EXPECT_FALSE(rig.probe.hasOutput());
    EXPECT_EQ(rig.midi().openInputCount(rig.instrument().inputIndex()), 0);
    EXPECT_EQ(rig.midi().openOutputCount(rig.instrument().outputIndex()), 0);
    for (int timer : {PortScanTimer, DumpTimeoutTimer, HeartbeatTimer})
        EXPECT_FALSE(rig.probe.isTimerRunning(timer)) << timer;
    EXPECT_EQ(rig.probe.messageBox(), nullptr);
    EXPECT_TRUE(boxes.notices().empty());

    // And connecting again works.
    ASSERT_TRUE(rig.connect());
    EXPECT_TRUE(rig.showsConnected());
}

TEST(Search, CancelDuringTheDumpGivesTheHandshakeUp)
{
    // Each section takes 800 ms: Cancel comes while the first is on its way.
    SimulatedRig rig("dump-delay=800");
    BoxWatcher boxes;
    click(rig.probe.connectButton());
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.supervisor().state() == AwaitingSection7D; }));
    ASSERT_TRUE(pumpUntil([&] { return boxes.saw(texts::searching); }));

    rig.probe.messageBox()->triggerButtonClick(texts::cancel);
    ASSERT_TRUE(pumpUntil([&] { return rig.probe.messageBox() == nullptr; }));
    EXPECT_EQ(rig.probe.supervisor().state(), Idle);

    // The first section still arrives, and asks for nothing more.
    pumpFor(1500ms);
    ASSERT_TRUE(rig.instrument().waitUntilIdle(5000ms));
    EXPECT_EQ(rig.received(SimulatedInstrument::Received::dumpRequest), 1);
    EXPECT_EQ(rig.probe.supervisor().state(), Idle);
    EXPECT_TRUE(rig.showsDisconnected());
    EXPECT_TRUE(isReleased(rig.probe.connectButton()));
    EXPECT_FALSE(settingsFile().exists());
    EXPECT_TRUE(boxes.notices().empty());
}
