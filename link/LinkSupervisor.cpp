#include "link/LinkSupervisor.h"

#include "model/ParameterCatalogue.h"

namespace kestra
{

LinkSupervisor::LinkSupervisor(DeviceLink& deviceLink, LinkTimers& linkTimers, Window& linkWindow,
                               Ports& midiPorts)
    : link(deviceLink), timers(linkTimers), window(linkWindow), ports(midiPorts)
{
}

int LinkSupervisor::rejectionOf(const sysex::Identity& identity)
{
    if (identity.protocol < sysex::protocolVersion)
        return FirmwareOutOfDate;
    if (identity.protocol > sysex::protocolVersion)
        return EditorOutOfDate;
    const int modelIndex = identity.modelCode - sysex::modelCodeOffset;
    if (!isValidModelIndex(modelIndex) || !isValidHardwareRevision(identity.hardwareRevision))
        return ModelNotSupported; // model codes below 3 included: no row for them
    return 0;
}

// ---- the search ------------------------------------------------------------------------------

void LinkSupervisor::connect(bool on)
{
    if (!on)
    {
        connected = false;
        awaitingIdentity = false;
        timers.stop(PortScanTimer);
        timers.stop(DumpTimeoutTimer);
        ports.close();
        link.dropPendingIdentities();
        return;
    }

    connected = false;
    if (!ports.openForSearch())
    {
        awaitingIdentity = false;
        window.showLinkNotice(LinkNotice::portBusy);
        window.releaseLinkButton(LinkButton::connect);
        return;
    }

    awaitingIdentity = true;
    window.showSearchingBox();
    timers.start(PortScanTimer, portScanPeriodMs);
    link.sendIdentityRequest();
}

void LinkSupervisor::scanNextPortPair()
{
    if (!awaitingIdentity || connected)
        return; // the search has ended meanwhile

    // A reply from the pair open now is on its way to this thread: moving on
    // would close the pair on which the handshake is about to start.
    if (link.hasPendingIdentity())
    {
        timers.start(PortScanTimer, portScanPeriodMs);
        return;
    }

    if (!ports.openNextPair())
    {
        awaitingIdentity = false;
        window.showLinkNotice(LinkNotice::deviceNotFound);
        window.releaseLinkButton(LinkButton::connect);
        return; // the last opened ports stay open
    }

    // A reply from the pair just closed would start the handshake on the new one.
    link.dropPendingIdentities();
    timers.start(PortScanTimer, portScanPeriodMs);
    link.sendIdentityRequest();
}

void LinkSupervisor::cancelSearch()
{
    awaitingIdentity = false;
    timers.stop(PortScanTimer);
    timers.stop(DumpTimeoutTimer);
    window.releaseLinkButton(LinkButton::connect);
    setConnected(false);
}

// ---- the handshake ---------------------------------------------------------------------------

void LinkSupervisor::identityReceived()
{
    const auto identity = link.takeIdentity();
    if (!identity.has_value())
        return; // its port pair has been closed since

    // While connected every reply is a heartbeat answer, and nothing else of it is used.
    if (connected)
    {
        heartbeatAnswered = true;
        return;
    }

    // A reply nobody waits for any more (the search was cancelled or found
    // nothing, the user disconnected) must not connect.
    if (!awaitingIdentity)
        return;

    awaitingIdentity = false;
    timers.stop(PortScanTimer);
    linkState = Idle;

    if (const int rejection = rejectionOf(*identity); rejection != 0)
    {
        // A refused instrument leaves the model and revision of the record as
        // they were, so that nothing indexes the tables with its values.
        window.onIdentityRejected(rejection); // the ports stay open until the next connect
        return;
    }

    link.acceptIdentity(*identity);
    linkState = AwaitingSection7D;
    link.sendDumpRequest(sysex::dumpSections[0]);
    timers.start(DumpTimeoutTimer, dumpTimeoutMs);
}

void LinkSupervisor::doneReceived()
{
    switch (linkState)
    {
    case AwaitingSection7D:
        linkState = AwaitingSection7E;
        link.sendDumpRequest(sysex::dumpSections[1]);
        break;
    case AwaitingSection7E:
        linkState = AwaitingSection7C;
        link.sendDumpRequest(sysex::dumpSections[2]);
        break;
    case AwaitingSection7C:
        linkState = Idle;
        timers.stop(DumpTimeoutTimer);
        window.showInstrumentValues();
        setConnected(true);
        ports.rememberPair();
        break;
    case StorePending:
        linkState = Idle;
        timers.stop(StoreTimeoutTimer);
        window.showLinkNotice(LinkNotice::storeConfirmed);
        window.releaseLinkButton(LinkButton::store);
        break;
    case ResetPending:
        linkState = Idle;
        timers.stop(ResetTimeoutTimer);
        window.showResetValues();
        window.showLinkNotice(LinkNotice::resetConfirmed);
        window.releaseLinkButton(LinkButton::reset);
        break;
    default: // Idle: a DoneMessage outside a dump, store or reset
        break;
    }
}

void LinkSupervisor::setConnected(bool on)
{
    if (on)
    {
        connected = true;
        window.showLinkUp();
        heartbeatAnswered = false;
        link.sendIdentityRequest();
        timers.start(HeartbeatTimer, heartbeatPeriodMs);
        return;
    }

    connected = false;
    awaitingIdentity = false;
    // A dump still running is given up with the connection: otherwise the
    // sections that are still on their way would go on asking for the next
    // one and end the handshake connected after the user has cancelled or
    // disconnected. A pending store or reset keeps its state and time-out.
    if (linkState == AwaitingSection7D || linkState == AwaitingSection7E ||
        linkState == AwaitingSection7C)
        linkState = Idle;
    window.showLinkDown();
    timers.stop(HeartbeatTimer);
    // An upload ends with the link, so that a stray ACK after the next
    // connect cannot send packets of the old transfer.
    link.endTransfer();
}

// ---- timers ----------------------------------------------------------------------------------

void LinkSupervisor::timerExpired(int timerId)
{
    switch (timerId)
    {
    case PortScanTimer:
        scanNextPortPair();
        break;
    case DumpTimeoutTimer:
        linkState = Idle;
        dropConnection();
        window.showLinkNotice(LinkNotice::dumpFailed);
        break;
    case StoreTimeoutTimer:
        linkState = Idle;
        window.showLinkNotice(LinkNotice::storeNotConfirmed);
        window.releaseLinkButton(LinkButton::store);
        break;
    case ResetTimeoutTimer:
        linkState = Idle;
        window.showLinkNotice(LinkNotice::resetNotConfirmed);
        window.releaseLinkButton(LinkButton::reset);
        break;
    case HeartbeatTimer:
        heartbeat();
        break;
    default:
        break;
    }
}

void LinkSupervisor::heartbeat()
{
    if (heartbeatAnswered)
    {
        heartbeatAnswered = false;
        link.sendIdentityRequest();
        timers.start(HeartbeatTimer, heartbeatPeriodMs);
        return;
    }

    dropConnection();
    window.showLinkNotice(LinkNotice::connectionLost);
}

void LinkSupervisor::dropConnection()
{
    setConnected(false);
    connect(false);
    window.releaseLinkButton(LinkButton::connect);
}

// ---- store and reset -------------------------------------------------------------------------

void LinkSupervisor::store(bool on)
{
    if (!connected)
    {
        window.releaseLinkButton(LinkButton::store);
        return;
    }
    if (!on)
    {
        timers.stop(StoreTimeoutTimer); // a second click: the confirmation is still welcome
        return;
    }
    linkState = StorePending;
    timers.start(StoreTimeoutTimer, storeTimeoutMs);
    link.sendStoreRequest();
}

void LinkSupervisor::reset(bool on)
{
    if (!connected)
    {
        window.releaseLinkButton(LinkButton::reset);
        return;
    }
    if (!on)
    {
        timers.stop(ResetTimeoutTimer);
        return;
    }
    window.askReset(
        [this](bool yes)
        {
            // The link may have been lost before the answer.
            if (!yes || !connected)
            {
                window.releaseLinkButton(LinkButton::reset);
                return;
            }
            linkState = ResetPending;
            timers.start(ResetTimeoutTimer, resetTimeoutMs);
            link.sendResetRequest();
        });
}

// ---- around a project send and a tonewheel upload ----------------------------------------

bool LinkSupervisor::suspendHeartbeat()
{
    const bool wasRunning = timers.isRunning(HeartbeatTimer);
    timers.stop(HeartbeatTimer);
    return wasRunning;
}

void LinkSupervisor::resumeHeartbeat()
{
    if (connected)
        timers.start(HeartbeatTimer, heartbeatPeriodMs);
}

void LinkSupervisor::holdHandshake()
{
    timers.stop(DumpTimeoutTimer);
    linkState = Idle;
    connected = true;
}

void LinkSupervisor::restartHandshake(bool withTimeout)
{
    // The display keeps its connected look until the handshake decides.
    connected = false;
    awaitingIdentity = true;
    link.sendIdentityRequest();
    if (withTimeout)
        timers.start(DumpTimeoutTimer, dumpTimeoutMs);
}

} // namespace kestra
