#pragma once

// The full send of an opened project to a connected instrument, from the
// opening to its end: the transmission box opens, BulkSendTimer waits the
// 200 ms, the heartbeat is suspended, ProjectSendPacer paces the send on its
// own thread, and its end (complete, cut short by the link going down, or
// replaced by a newer opening) resumes the heartbeat, takes the instrument out
// of bulk mode if it is still in it, and closes the box.
//
// It needs no component: the window is reached through a View, and time
// through LinkTimers (BulkSendTimer) and the pacer's clock, so that tests run
// it headless. Every function but the outlet's runs on the thread that owns
// the link (the message thread in the editor).

#include "files/ProjectSendPacer.h"
#include "link/LinkSupervisor.h"
#include "link/LinkTimers.h"

#include <atomic>
#include <vector>

namespace kestra
{

class ProjectSendController
{
public:
    class View
    {
    public:
        virtual ~View() = default;
        // The box "Transmitting parameters..." without buttons.
        virtual void showTransmissionBox() = 0;
        // Closes it, unless another box has taken its place meanwhile.
        virtual void closeTransmissionBox() = 0;
    };

    // host is where the pacer's thread posts (ProjectSendEnded, and
    // ParameterChanged for a setting that went out mended).
    ProjectSendController(DeviceLink& link, LinkHost& host, LinkSupervisor& supervisor,
                          LinkTimers& timers, View& view, projectfile::PacingClock& clock);

    // An opening while connected: the box, and the send of parameters
    // 0 ... lastParameter 200 ms from now. A send still running gives way.
    void start(int lastParameter);
    // The same for the given parameters only, in that order: a recalled
    // snapshot sends what differs from the values it replaced.
    void start(std::vector<int> numbers);
    // BulkSendTimer's expiry: the send itself, unless the timer came early.
    void timerExpired();
    // ProjectSendEnded from the pacer; a late word of a send already ended or
    // replaced is ignored.
    void sendEnded(int send);
    // Ends the send, complete or not (see the file's comment).
    void end();
    // The window closes: a send still running stops, and the instrument is
    // taken out of bulk mode; nothing is shown.
    void shutDown();

    // The link's connected state as the pacer's thread reads it: set as the
    // link comes up and goes down. A send stops at the first message after
    // the link went down.
    void setLinkUp(bool up) { linkUp = up; }

    // Waiting for BulkSendTimer or pacing.
    bool isSending() const { return waiting || pacer.isRunning(); }

private:
    class Outlet final : public projectfile::ProjectSendPacer::Outlet
    {
    public:
        explicit Outlet(ProjectSendController& c) : owner(c) {}
        bool linkUp() override;
        void sendBulkMode(uint8_t mode) override;
        void sendParameter(int number) override;
        void postSendEnded(int send) override;

    private:
        ProjectSendController& owner;
    };

    DeviceLink& link;
    LinkHost& host;
    LinkSupervisor& supervisor;
    LinkTimers& timers;
    View& view;
    projectfile::PacingClock& clock;

    std::atomic<bool> linkUp{false};
    // The send BulkSendTimer waits to start.
    bool waiting = false;
    std::vector<int> numbers;
    double dueMs = 0.0; // when it is due, on the pacer's clock
    bool heartbeatSuspended = false;
    bool boxOpen = false;
    Outlet outlet{*this};
    projectfile::ProjectSendPacer pacer{outlet, clock}; // last: its thread stops first
};

} // namespace kestra
