#include "files/ProjectSendController.h"

#include "files/ProjectFile.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestra
{

ProjectSendController::ProjectSendController(DeviceLink& deviceLink, LinkHost& linkHost,
                                             LinkSupervisor& linkSupervisor, LinkTimers& linkTimers,
                                             View& sendView, projectfile::PacingClock& pacingClock)
    : link(deviceLink), host(linkHost), supervisor(linkSupervisor), timers(linkTimers),
      view(sendView), clock(pacingClock)
{
}

void ProjectSendController::start(int last)
{
    std::vector<int> all;
    for (int n = 0; n <= last; ++n)
        all.push_back(n);
    start(std::move(all));
}

void ProjectSendController::start(std::vector<int> list)
{
    end(); // a send still running gives way to this one
    view.showTransmissionBox();
    boxOpen = true;
    waiting = true;
    numbers = std::move(list);
    dueMs = clock.nowMs() + projectfile::transmissionDelayMs;
    timers.start(BulkSendTimer, projectfile::transmissionDelayMs);
}

// BulkSendTimer, 200 ms after the opening: BulkModeMessage 1 with parameter 0,
// each further parameter 20 ms after the one before and BulkModeMessage 0
// 20 ms after the last, paced by the pacer on its own thread, so that the
// message thread stays free and the window keeps painting. A timer may fire a
// little early; the send then waits for the rest of its 200 ms.
void ProjectSendController::timerExpired()
{
    if (!waiting)
        return;
    const double early = dueMs - clock.nowMs();
    if (early > 0.0)
    {
        timers.start(BulkSendTimer, std::max(1, static_cast<int>(std::ceil(early))));
        return;
    }
    waiting = false;

    // A link that went away takes the rest of the send with it.
    if (!supervisor.isConnected())
    {
        end();
        return;
    }

    // Nothing else goes to the instrument between the two bulk mode
    // messages: the heartbeat waits until the send is over.
    heartbeatSuspended = supervisor.suspendHeartbeat();
    pacer.start(std::move(numbers));
    numbers.clear();
}

void ProjectSendController::sendEnded(int send)
{
    if (pacer.isRunning() && send == pacer.currentSend())
        end();
}

// A send cut short still gets its BulkModeMessage 0 (the senders drop it when
// the port is closed), the heartbeat resumes if the link is still up, and the
// transmission box closes unless another box has replaced it meanwhile.
void ProjectSendController::end()
{
    timers.stop(BulkSendTimer);
    waiting = false;
    if (pacer.stop())
        link.sendBulkModeMessage(0);

    if (heartbeatSuspended)
        supervisor.resumeHeartbeat(); // if the link is still up
    heartbeatSuspended = false;

    if (std::exchange(boxOpen, false))
        view.closeTransmissionBox();
}

void ProjectSendController::shutDown()
{
    timers.stop(BulkSendTimer);
    waiting = false;
    if (pacer.stop())
        link.sendBulkModeMessage(0);
}

// ---- the pacer's thread ---------------------------------------------------------------------

bool ProjectSendController::Outlet::linkUp()
{
    return owner.linkUp.load();
}

void ProjectSendController::Outlet::sendBulkMode(uint8_t mode)
{
    owner.link.sendBulkModeMessage(mode);
}

void ProjectSendController::Outlet::sendParameter(int number)
{
    // A setting that went out mended is stored as sent; its selector shows it
    // once the message thread has the word.
    if (owner.link.sendParameter(number))
        owner.host.postInternalMessage(ParameterChanged, number);
}

void ProjectSendController::Outlet::postSendEnded(int send)
{
    owner.host.postInternalMessage(ProjectSendEnded, send);
}

} // namespace kestra
