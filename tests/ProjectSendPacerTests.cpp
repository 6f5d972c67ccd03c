// The pacing of the full parameter send after an opening, on its own thread:
// the messages and their order, the deadlines (absolute from the first
// message, never less than 20 ms after the end of the one before), a link that
// goes down, stopping and restarting. A fake clock moves only when the pacer
// waits, so that nothing here waits for real time but the one wiring test.

#include "files/ProjectSendPacer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using namespace kestra::projectfile;

namespace
{
constexpr int bulkOn = -1;  // BulkModeMessage 1 in a log
constexpr int bulkOff = -2; // BulkModeMessage 0

// Jumps to each deadline (plus a lateness chosen by the test) as soon as the
// pacer waits for it; a wait for a deadline at or beyond holdAtMs blocks until
// the pacer is stopped.
struct FakeClock final : PacingClock
{
    std::atomic<double> now{1000.0};
    std::function<double(int)> lateness = [](int) { return 0.0; };
    double holdAtMs = std::numeric_limits<double>::infinity();
    std::atomic<bool> holding{false};
    int waits = 0;

    double nowMs() override { return now.load(); }
    void waitUntil(double deadlineMs, std::unique_lock<std::mutex>& lock,
                   std::condition_variable& wake, const bool& stopping) override
    {
        if (deadlineMs >= holdAtMs)
        {
            holding = true;
            wake.wait(lock, [&] { return stopping; });
            return;
        }
        if (deadlineMs > now.load())
            now = deadlineMs + lateness(waits++);
    }
    void advance(double ms) { now = now.load() + ms; }
};

struct Sent
{
    int message; // parameter number, bulkOn or bulkOff
    double startMs, endMs;
};

struct Log final : ProjectSendPacer::Outlet
{
    explicit Log(FakeClock* fakeClock) : clock(fakeClock) {}

    bool linkUp() override { return parameters < linkDownAfter; }
    void sendBulkMode(uint8_t mode) override { record(mode == 1 ? bulkOn : bulkOff); }
    void sendParameter(int number) override
    {
        ++parameters;
        record(number);
    }
    void postSendEnded(int send) override
    {
        const std::lock_guard<std::mutex> guard(mutex);
        ended.push_back(send);
        endedChanged.notify_all();
    }

    void record(int message)
    {
        const double start = now();
        if (clock != nullptr)
            clock->advance(sendCostMs); // the time a message takes to leave
        const std::lock_guard<std::mutex> guard(mutex);
        sent.push_back({message, start, now()});
    }
    double now() const
    {
        return clock != nullptr ? clock->nowMs()
                                : std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
    }
    bool waitForEnd(size_t count = 1)
    {
        std::unique_lock<std::mutex> guard(mutex);
        return endedChanged.wait_for(guard, std::chrono::seconds(30),
                                     [&] { return ended.size() >= count; });
    }

    FakeClock* clock;
    double sendCostMs = 0.0;
    int linkDownAfter = std::numeric_limits<int>::max();
    int parameters = 0;
    std::mutex mutex;
    std::condition_variable endedChanged;
    std::vector<Sent> sent;
    std::vector<int> ended;
};

// BulkModeMessage 1, parameters 0 ... last, BulkModeMessage 0.
std::vector<int> wholeSend(int last)
{
    std::vector<int> messages{bulkOn};
    for (int n = 0; n <= last; ++n)
        messages.push_back(n);
    messages.push_back(bulkOff);
    return messages;
}

std::vector<int> messagesOf(const std::vector<Sent>& sent)
{
    std::vector<int> messages;
    for (const auto& s : sent)
        messages.push_back(s.message);
    return messages;
}

void waitUntilHolding(const FakeClock& clock)
{
    while (!clock.holding.load())
        std::this_thread::yield();
}
} // namespace

TEST(ProjectSendPacer, EveryMessageInOrderOnTheDeadlinesFromTheFirst)
{
    for (const int last : {98, 84})
    {
        SCOPED_TRACE(last);
        FakeClock clock;
        Log log(&clock);
        ProjectSendPacer pacer(log, clock);
        const int send = pacer.start(last);
        ASSERT_TRUE(log.waitForEnd());

        EXPECT_EQ(messagesOf(log.sent), wholeSend(last));
        EXPECT_EQ(log.ended, std::vector<int>{send});
        // BulkModeMessage 1 and parameter 0 together, then every 20 ms exactly:
        // the whole send takes the ideal (last + 1) x 20 ms.
        const double start = log.sent.front().startMs;
        EXPECT_DOUBLE_EQ(log.sent[1].startMs, start);
        for (size_t k = 2; k < log.sent.size(); ++k)
            EXPECT_DOUBLE_EQ(log.sent[k].startMs, start + 20.0 * static_cast<double>(k - 1)) << k;
        EXPECT_TRUE(pacer.isRunning()); // until the message thread takes the end
        EXPECT_FALSE(pacer.stop());     // nothing owed: BulkModeMessage 0 went out
        EXPECT_FALSE(pacer.isRunning());
    }
}

// Late wake-ups and slow sends: each message waits 20 ms from the end of the
// one before, so the lateness is never made up by a shorter gap.
TEST(ProjectSendPacer, ALateMessageNeverShortensTheGapAfterIt)
{
    struct Case
    {
        const char* what;
        std::function<double(int)> lateness;
        double sendCostMs;
    };
    const Case cases[] = {
        {"one wake 7 ms late", [](int wait) { return wait == 5 ? 7.0 : 0.0; }, 0.0},
        {"every wake a little late", [](int wait) { return 0.125 * (wait % 7); }, 0.0},
        {"slow sends", [](int) { return 0.0; }, 0.5},
        {"both", [](int wait) { return wait % 3 == 0 ? 1.5 : 0.0; }, 0.25},
    };
    // (Binary fractions of a millisecond, so that the sums below are exact.)
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        FakeClock clock;
        clock.lateness = c.lateness;
        Log log(&clock);
        log.sendCostMs = c.sendCostMs;
        ProjectSendPacer pacer(log, clock);
        pacer.start(98);
        ASSERT_TRUE(log.waitForEnd());
        ASSERT_EQ(messagesOf(log.sent), wholeSend(98));

        const double start = log.sent.front().startMs;
        double lateTotal = c.sendCostMs; // BulkModeMessage 1 goes out before parameter 0
        for (size_t k = 2; k < log.sent.size(); ++k)
        {
            const auto& previous = log.sent[k - 1];
            const double absolute = start + 20.0 * static_cast<double>(k - 1);
            EXPECT_GE(log.sent[k].startMs - previous.endMs, 20.0) << k;
            EXPECT_GE(log.sent[k].startMs, absolute) << k;
            lateTotal += c.lateness(static_cast<int>(k) - 2) + c.sendCostMs;
        }
        // Late by what the wakes and sends took, and by nothing more.
        EXPECT_NEAR(log.sent.back().startMs - start, 99 * 20.0 + lateTotal, 1e-6);
        pacer.stop();
    }
}

TEST(ProjectSendPacer, ALinkGoingDownEndsTheSendAndOwesBulkModeOff)
{
    FakeClock clock;
    Log log(&clock);
    log.linkDownAfter = 5;
    ProjectSendPacer pacer(log, clock);
    const int send = pacer.start(98);
    ASSERT_TRUE(log.waitForEnd());
    EXPECT_EQ(messagesOf(log.sent), (std::vector<int>{bulkOn, 0, 1, 2, 3, 4}));
    EXPECT_EQ(log.ended, std::vector<int>{send});
    EXPECT_TRUE(pacer.stop()); // the caller sends BulkModeMessage 0
    EXPECT_FALSE(pacer.stop());

    // A link down from the start: nothing goes out, nothing is owed.
    Log none(&clock);
    none.linkDownAfter = 0;
    ProjectSendPacer idle(none, clock);
    idle.start(98);
    ASSERT_TRUE(none.waitForEnd());
    EXPECT_TRUE(none.sent.empty());
    EXPECT_FALSE(idle.stop());
}

TEST(ProjectSendPacer, StoppingEndsTheSendAtOnceWithoutAWordToTheMessageThread)
{
    struct Case
    {
        const char* what;
        double holdAfterMs; // from the first message
        std::vector<int> sent;
        bool owesBulkModeOff;
    };
    const Case cases[] = {
        {"while parameter 3 waits", 60.0, {bulkOn, 0, 1, 2}, true},
        {"while BulkModeMessage 0 waits", 99 * 20.0, wholeSend(98), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        FakeClock clock;
        clock.holdAtMs = clock.now.load() + c.holdAfterMs;
        Log log(&clock);
        ProjectSendPacer pacer(log, clock);
        pacer.start(98);
        waitUntilHolding(clock);
        EXPECT_EQ(pacer.stop(), c.owesBulkModeOff);
        auto expected = c.sent;
        if (expected.back() == bulkOff)
            expected.pop_back();
        EXPECT_EQ(messagesOf(log.sent), expected);
        EXPECT_TRUE(log.ended.empty());
        EXPECT_FALSE(pacer.isRunning());
    }
}

TEST(ProjectSendPacer, ARestartStopsTheSendBeforeAndNumbersTheNewOne)
{
    FakeClock clock;
    clock.holdAtMs = clock.now.load() + 40.0; // the first send stops at parameter 2
    Log log(&clock);
    ProjectSendPacer pacer(log, clock);
    const int first = pacer.start(98);
    waitUntilHolding(clock);
    EXPECT_TRUE(pacer.stop());

    clock.holdAtMs = std::numeric_limits<double>::infinity();
    log.sent.clear();
    const int second = pacer.start(84);
    EXPECT_NE(second, first);
    EXPECT_EQ(pacer.currentSend(), second);
    ASSERT_TRUE(log.waitForEnd());
    EXPECT_EQ(messagesOf(log.sent), wholeSend(84));
    EXPECT_EQ(log.ended, std::vector<int>{second});
    EXPECT_FALSE(pacer.stop());
}

// The real clock, briefly: its waits are never short.
TEST(ProjectSendPacer, OnTheSteadyClockNoGapIsBelowTwentyMilliseconds)
{
    SteadyPacingClock clock;
    Log log(nullptr);
    ProjectSendPacer pacer(log, clock);
    pacer.start(4);
    ASSERT_TRUE(log.waitForEnd());
    ASSERT_EQ(messagesOf(log.sent), wholeSend(4));
    for (size_t k = 2; k < log.sent.size(); ++k)
        EXPECT_GE(log.sent[k].startMs - log.sent[k - 1].endMs, 20.0) << k;
    EXPECT_FALSE(pacer.stop());
}
