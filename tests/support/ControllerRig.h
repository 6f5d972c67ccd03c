#pragma once

// A connected link headless, for the tests of the controllers that work on
// it: the device link, the supervisor on a fake clock, ports that are open or
// closed, and what was sent and posted, recorded from any thread. The test
// plays the message thread: it hands the posts in with takePosted() and
// advances the timers. The supervisor's window records its calls in `window`.

#include "FakeLinkTimers.h"
#include "link/LinkSupervisor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kestra::testing
{

using Bytes = sysex::Bytes;
using Lines = std::vector<std::string>;

class ControllerRig : public LinkHost, public LinkSupervisor::Window, public LinkSupervisor::Ports
{
public:
    ControllerRig()
    {
        link.setRecord(ProjectRecord::initial());
        timers.onExpiry = [this](int id)
        {
            if (onTimer && onTimer(id))
                return;
            supervisor.timerExpired(id);
        };
    }

    // ---- LinkHost (any thread) ----
    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        const std::lock_guard<std::mutex> guard(mutex);
        if (open)
            sent.emplace_back(data, data + size);
    }
    void postInternalMessage(int type, int value) override
    {
        const std::lock_guard<std::mutex> guard(mutex);
        posted.push_back({type, value});
        postedChanged.notify_all();
    }

    // ---- LinkSupervisor::Window ----
    void showLinkNotice(LinkNotice notice) override
    {
        window.push_back("notice " + std::to_string(static_cast<int>(notice)));
    }
    void showSearchingBox() override { window.push_back("searching"); }
    void releaseLinkButton(LinkButton) override {}
    void onIdentityRejected(int) override {}
    void askReset(std::function<void(bool)> onAnswer) override { onAnswer(true); }
    void showLinkUp() override
    {
        window.push_back("up");
        if (onLinkUp)
            onLinkUp(true);
    }
    void showLinkDown() override
    {
        window.push_back("down");
        if (onLinkUp)
            onLinkUp(false);
    }
    void showInstrumentValues() override {}
    void showResetValues() override {}

    // ---- Ports: one pair ----
    bool openForSearch() override
    {
        const std::lock_guard<std::mutex> guard(mutex);
        open = true;
        return true;
    }
    bool openNextPair() override { return false; }
    void close() override
    {
        const std::lock_guard<std::mutex> guard(mutex);
        open = false;
    }
    bool isOpen() const override
    {
        const std::lock_guard<std::mutex> guard(mutex);
        return open;
    }
    void rememberPair() override {}

    // ---- the test as the threads ----
    void receive(const Bytes& message) { link.handleIncoming(message.data(), message.size()); }

    // The identity and dump replies the supervisor waits for, handed in as
    // the component does; every other post stays for the test.
    void deliverLinkPosts()
    {
        for (const auto& [type, value] : takePosted())
        {
            if (type == IdentityReceived)
                supervisor.identityReceived();
            else if (type == DoneReceived)
                supervisor.doneReceived();
            else
            {
                const std::lock_guard<std::mutex> guard(mutex);
                kept.push_back({type, value});
            }
        }
    }

    // Connect, accept and load: the link is up, and what it sent is forgotten.
    void connectAndLoad()
    {
        supervisor.connect(true);
        receive(sysex::identityReply({5, 4, 1, 1, 2, 3}));
        deliverLinkPosts();
        for (int section = 0; section < 3; ++section)
        {
            receive(sysex::doneMessage());
            deliverLinkPosts();
        }
        ASSERT_TRUE(supervisor.isConnected());
        takeSent();
        window.clear();
        takeKept();
    }

    // The user switches CONNECT off.
    void disconnect()
    {
        supervisor.setConnected(false);
        supervisor.connect(false);
    }

    std::vector<Bytes> takeSent()
    {
        const std::lock_guard<std::mutex> guard(mutex);
        return std::exchange(sent, {});
    }
    std::deque<std::pair<int, int>> takePosted()
    {
        const std::lock_guard<std::mutex> guard(mutex);
        return std::exchange(posted, {});
    }
    std::vector<std::pair<int, int>> takeKept()
    {
        const std::lock_guard<std::mutex> guard(mutex);
        return std::exchange(kept, {});
    }
    // Waits (for another thread) until a post of that type has come; it is
    // taken with the posts before it. Returns its value, -1 after 30 s.
    int waitForPost(int type)
    {
        std::unique_lock<std::mutex> guard(mutex);
        int value = -1;
        const auto arrived = [&]
        {
            for (auto p = posted.begin(); p != posted.end(); ++p)
                if (p->first == type)
                {
                    value = p->second;
                    posted.erase(posted.begin(), p + 1);
                    return true;
                }
            return false;
        };
        return postedChanged.wait_for(guard, std::chrono::seconds(30), arrived) ? value : -1;
    }

    FakeLinkTimers timers;
    DeviceLink link{*this};
    LinkSupervisor supervisor{link, timers, *this, *this};

    Lines window;                             // the supervisor's window, message thread
    std::function<bool(int timerId)> onTimer; // true: the expiry was the test's
    std::function<void(bool up)> onLinkUp;    // showLinkUp and showLinkDown

private:
    mutable std::mutex mutex;
    std::condition_variable postedChanged;
    bool open = false;
    std::vector<Bytes> sent;
    std::deque<std::pair<int, int>> posted;
    std::vector<std::pair<int, int>> kept;
};

} // namespace kestra::testing
