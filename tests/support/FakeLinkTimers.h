#pragma once

// Link timers on a clock that only the test moves: advance() fires every
// timer that falls due, in order of its deadline, each at its own time.

#include "link/LinkTimers.h"

#include <functional>
#include <map>
#include <utility>

namespace kestra::testing
{

class FakeLinkTimers final : public LinkTimers
{
public:
    std::function<void(int timerId)> onExpiry;

    void start(int timerId, int milliseconds) override { deadlines[timerId] = now + milliseconds; }
    void stop(int timerId) override { deadlines.erase(timerId); }
    bool isRunning(int timerId) const override { return deadlines.count(timerId) != 0; }

    // Milliseconds until the timer fires; -1 when it is not running.
    long long remaining(int timerId) const
    {
        const auto found = deadlines.find(timerId);
        return found == deadlines.end() ? -1 : found->second - now;
    }

    void advance(long long milliseconds)
    {
        const long long end = now + milliseconds;
        for (;;)
        {
            auto due = deadlines.end();
            for (auto d = deadlines.begin(); d != deadlines.end(); ++d)
                if (d->second <= end && (due == deadlines.end() || d->second < due->second))
                    due = d;
            if (due == deadlines.end())
                break;
            const int timerId = due->first;
            now = due->second;
            deadlines.erase(due); // one-shot: stopped before its owner hears of it
            if (onExpiry)
                onExpiry(timerId);
        }
        now = end;
    }

    long long time() const { return now; }

private:
    long long now = 0;
    std::map<int, long long> deadlines;
};

} // namespace kestra::testing
