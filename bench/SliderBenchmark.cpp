// A slider moved by the user: the editor on screen, its output open on a
// virtual port, and the mouse dragging a slider back and forth between two
// positions. Between the moves the message loop runs (painting included), as
// it does between the mouse events of a real drag.
//
// Reported per slider (median and 99th percentile over every move, in µs):
//   value_to_bytes_*  from the slider telling its listeners of the new value to
//                     the last message of the change reaching the port
//   drag_to_bytes_*   from the mouse drag event handed to the slider to the same
//   messages          messages per move: the slider's parameter and the ones it
//                     writes with it
// Sliders: 23 Hall Time (one message), 31 Chorus Mix (31, 34 and 39),
// 39 V/C Depth (39, 40 and 41).
//
// Run: xvfb-run -a build-bench/bench/SliderBenchmark

#include "GuiBenchSupport.h"
#include "support/EditorTestProbe.h"

using namespace kestra;
using namespace kestra::bench;

namespace
{

constexpr int moves = 1000;

// The first listener to hear of a new value: JUCE tells a slider's listeners
// the last added first, so this one runs before the editor.
struct ValueStopwatch final : juce::Slider::Listener
{
    Clock::time_point changed{};
    void sliderValueChanged(juce::Slider*) override { changed = Clock::now(); }
};

struct EditorOnScreen
{
    VirtualMidiServices* midi = new VirtualMidiServices;
    MainContentComponent editor{std::unique_ptr<MidiServices>(midi)};
    EditorTestProbe probe{editor};
    std::vector<Clock::time_point> arrivals; // the port's receiver runs on the sending thread

    EditorOnScreen()
    {
        const int input = midi->addInputPort("Bench");
        const int output = midi->addOutputPort("Bench", [this](const uint8_t*, size_t)
                                               { arrivals.push_back(Clock::now()); });
        probe.openPorts(input, output);
        editor.addToDesktop(0);
        editor.setVisible(true);
    }
    ~EditorOnScreen() { editor.removeFromDesktop(); }

    // Shows the page that holds the slider.
    bool show(juce::Slider& slider)
    {
        for (int page = 0; page < 6 && !slider.isShowing(); ++page)
        {
            probe.pageButton(page).triggerClick();
            pumpUntil([&] { return probe.currentPage() == page; }, std::chrono::milliseconds(2000));
        }
        return slider.isShowing();
    }
};

juce::MouseEvent mouseAt(juce::Slider& slider, float x, bool dragged, juce::Point<float> downAt)
{
    const auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto now = juce::Time::getCurrentTime();
    const juce::Point<float> position{x, static_cast<float>(slider.getHeight()) / 2.0f};
    return juce::MouseEvent(source, position,
                            juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier), 1.0f, 0.0f,
                            0.0f, 0.0f, 0.0f, &slider, &slider, now, downAt, now, 1, dragged);
}

void BM_SliderMove(benchmark::State& state)
{
    const int number = static_cast<int>(state.range(0));
    EditorOnScreen bench;
    auto* slider = bench.probe.slider(number);
    if (slider == nullptr || !bench.show(*slider))
    {
        state.SkipWithError("the slider is not on any page");
        return;
    }
    ValueStopwatch stopwatch;
    slider->addListener(&stopwatch);
    pumpFor(std::chrono::milliseconds(200)); // the page painted

    const float width = static_cast<float>(slider->getWidth());
    const juce::Point<float> downAt{0.3f * width, static_cast<float>(slider->getHeight()) / 2.0f};
    slider->mouseDown(mouseAt(*slider, downAt.x, false, downAt));
    pumpFor(std::chrono::milliseconds(50));

    std::vector<double> valueToBytes, dragToBytes, messages;
    int move = 0;
    for (auto _ : state)
    {
        bench.arrivals.clear();
        stopwatch.changed = {};
        const float x = (move++ % 2 == 0 ? 0.7f : 0.3f) * width;
        const auto event = mouseAt(*slider, x, true, downAt);
        const auto dragged = Clock::now();
        slider->mouseDrag(event);
        if (bench.arrivals.empty() || stopwatch.changed == Clock::time_point{} ||
            stopwatch.changed > bench.arrivals.front())
        {
            state.SkipWithError("the move sent nothing, or the stopwatch heard of it late");
            break;
        }
        const auto last = bench.arrivals.back();
        valueToBytes.push_back(microseconds(last - stopwatch.changed));
        dragToBytes.push_back(microseconds(last - dragged));
        messages.push_back(static_cast<double>(bench.arrivals.size()));
        state.SetIterationTime(std::chrono::duration<double>(last - dragged).count());

        // The loop runs between the mouse events: repaints, timers.
        kestra::testing::dispatchMessagesFor(2);
    }
    slider->mouseUp(mouseAt(*slider, downAt.x, true, downAt));
    slider->removeListener(&stopwatch);

    state.counters["value_to_bytes_median_us"] = percentile(valueToBytes, 0.5);
    state.counters["value_to_bytes_p99_us"] = percentile(valueToBytes, 0.99);
    state.counters["drag_to_bytes_median_us"] = percentile(dragToBytes, 0.5);
    state.counters["drag_to_bytes_p99_us"] = percentile(dragToBytes, 0.99);
    state.counters["messages"] = percentile(messages, 0.5);
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv,
                         []
                         {
                             benchmark::RegisterBenchmark("BM_SliderMove", BM_SliderMove)
                                 ->Arg(23)
                                 ->Arg(31)
                                 ->Arg(39)
                                 ->UseManualTime()
                                 ->Unit(benchmark::kMicrosecond)
                                 ->Iterations(moves);
                         });
}
