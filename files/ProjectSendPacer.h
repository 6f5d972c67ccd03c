#pragma once

// The full parameter send of an opened project, paced on a thread of its own:
// BulkModeMessage 1 with parameter 0, parameter k at start + k x 20 ms,
// BulkModeMessage 0 at start + count x 20 ms, where start is when the first
// message went out. A message that goes out late never shortens the gap after
// it: each is due at max(start + k x 20 ms, end of the one before + 20 ms), so
// no gap is ever below 20 ms, and the waits are for absolute times of a
// monotonic clock, not rounded intervals, so that nothing but the wake-up
// latency adds to the 20 ms.
//
// Threads: start() and stop() belong to the message thread, which owns the
// link's state; the pacer's thread only sends (through the lock-protected
// output, reading each value through the record's lock) and, at its end,
// posts once to the message thread, which then calls stop(). The clock is
// injected, so that tests drive the pacing without waiting.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kestra::projectfile
{

constexpr int transmissionDelayMs = 200; // from the opening to BulkModeMessage 1
constexpr int transmissionPacingMs = 20; // after every parameter, the last one too

class PacingClock
{
public:
    virtual ~PacingClock() = default;
    // Milliseconds of a monotonic clock.
    virtual double nowMs() = 0;
    // Waits, with lock held on entry and exit, until nowMs() has reached
    // deadlineMs or stopping is true after wake was notified.
    virtual void waitUntil(double deadlineMs, std::unique_lock<std::mutex>& lock,
                           std::condition_variable& wake, const bool& stopping) = 0;
};

// std::chrono::steady_clock.
class SteadyPacingClock final : public PacingClock
{
public:
    double nowMs() override;
    void waitUntil(double deadlineMs, std::unique_lock<std::mutex>& lock,
                   std::condition_variable& wake, const bool& stopping) override;
};

class ProjectSendPacer
{
public:
    // Where the send goes; every call comes from the pacer's thread.
    class Outlet
    {
    public:
        virtual ~Outlet() = default;
        // Whether the link is still up; a send stops at the first no.
        virtual bool linkUp() = 0;
        virtual void sendBulkMode(uint8_t mode) = 0;
        virtual void sendParameter(int number) = 0;
        // The send is over (complete, or the link went down): posts to the
        // message thread, which calls stop(). send is the number start() gave.
        virtual void postSendEnded(int send) = 0;
    };

    ProjectSendPacer(Outlet& outlet, PacingClock& clock);
    ~ProjectSendPacer(); // stops a send still running, without BulkModeMessage 0

    // Starts the send of parameters 0 ... lastParameter at once; a send still
    // running is stopped first. Returns the number of this send (what
    // postSendEnded passes), so that a late word of an earlier one is told apart.
    int start(int lastParameter);
    // The same for the given parameters only, in the list's order (a recalled
    // snapshot sends only what differs): the k-th of them takes the place of
    // parameter k above.
    int start(std::vector<int> numbers);

    // Ends the send, waiting for a message on its way to leave: nothing of it
    // goes out afterwards. True when BulkModeMessage 1 went out and 0 did not,
    // so that the caller can take the instrument out of bulk mode.
    bool stop();

    // Between start() and stop(), the send's end included.
    bool isRunning() const { return worker.joinable(); }
    int currentSend() const { return sendNumber; }

private:
    void run(const std::vector<int>& numbers, int send);
    // Waits until deadlineMs; false when stopped meanwhile.
    bool waitFor(double deadlineMs);

    Outlet& outlet;
    PacingClock& clock;
    std::thread worker;
    int sendNumber = 0; // message thread only

    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;   // set by stop()
    bool bulkModeOn = false; // BulkModeMessage 1 went out and 0 did not
};

} // namespace kestra::projectfile
