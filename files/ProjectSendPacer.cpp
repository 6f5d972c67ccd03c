#include "files/ProjectSendPacer.h"

#include <algorithm>
#include <chrono>
#include <utility>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace kestra::projectfile
{

double SteadyPacingClock::nowMs()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyPacingClock::waitUntil(double deadlineMs, std::unique_lock<std::mutex>& lock,
                                  std::condition_variable& wake, const bool& stopping)
{
    using namespace std::chrono;
    const steady_clock::time_point deadline(
        duration_cast<steady_clock::duration>(duration<double, std::milli>(deadlineMs)));
    wake.wait_until(lock, deadline, [&] { return stopping; });
}

ProjectSendPacer::ProjectSendPacer(Outlet& sendOutlet, PacingClock& pacingClock)
    : outlet(sendOutlet), clock(pacingClock)
{
}

ProjectSendPacer::~ProjectSendPacer()
{
    stop();
}

int ProjectSendPacer::start(int lastParameter)
{
    std::vector<int> numbers;
    for (int n = 0; n <= lastParameter; ++n)
        numbers.push_back(n);
    return start(std::move(numbers));
}

int ProjectSendPacer::start(std::vector<int> numbers)
{
    stop();
    {
        const std::lock_guard<std::mutex> guard(lock);
        stopping = false;
        bulkModeOn = false;
    }
    const int send = ++sendNumber;
    worker = std::thread([this, list = std::move(numbers), send] { run(list, send); });
    return send;
}

bool ProjectSendPacer::stop()
{
    if (!worker.joinable())
        return false;
    {
        const std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
    const std::lock_guard<std::mutex> guard(lock);
    return std::exchange(bulkModeOn, false);
}

bool ProjectSendPacer::waitFor(double deadlineMs)
{
    std::unique_lock<std::mutex> guard(lock);
    if (!stopping)
        clock.waitUntil(deadlineMs, guard, wake, stopping);
    return !stopping;
}

void ProjectSendPacer::run(const std::vector<int>& numbers, int send)
{
#if defined(__linux__)
    // Wake on the deadline itself: the kernel may otherwise add up to 50 µs
    // to every one of the hundred waits.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    const int count = static_cast<int>(numbers.size()); // parameters, then BulkModeMessage 0
    const double startMs = clock.nowMs();
    double previousEndMs = startMs;
    for (int k = 0; k <= count; ++k)
    {
        const double dueMs = k == 0 ? startMs
                                    : std::max(startMs + k * transmissionPacingMs,
                                               previousEndMs + transmissionPacingMs);
        if (!waitFor(dueMs))
            return; // stopped: the message thread ends the send itself
        if (!outlet.linkUp())
            break;
        if (k == 0)
        {
            outlet.sendBulkMode(1);
            const std::lock_guard<std::mutex> guard(lock);
            bulkModeOn = true;
        }
        if (k < count)
            outlet.sendParameter(numbers[static_cast<size_t>(k)]);
        else
        {
            outlet.sendBulkMode(0);
            const std::lock_guard<std::mutex> guard(lock);
            bulkModeOn = false;
        }
        previousEndMs = clock.nowMs();
    }
    outlet.postSendEnded(send);
}

} // namespace kestra::projectfile
