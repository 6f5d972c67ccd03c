#pragma once

// Names shared by the device link, the content component and the tests: the
// internal message types the MIDI thread posts, the six one-shot timers and
// the states of the link.

namespace kestra
{

// Types of InternalMessage, the only hand-over from the MIDI input thread (and
// the thread that paces the send of an opened project) to the message thread.
enum InternalMessageType : int
{
    DoneReceived = 0,         // every DoneMessage
    ParameterChanged = 1,     // value: parameter number (shown while the link is Idle)
    TonewheelNameChanged = 2, // value: slot 0 ... 5 (shown while the link is Idle)
    IdentityReceived = 3,     // an IdentityReply, kept in the device link
    TransferEvent = 4,        // value: 0 progress, 1 finished, 2 failed
    ProjectSendEnded = 5,     // value: the number of the send (ProjectSendPacer)
};

// The one-shot timers: the link's (LinkSupervisor) and the project send's.
enum TimerId : int
{
    PortScanTimer = 0,
    DumpTimeoutTimer = 1,
    StoreTimeoutTimer = 2,
    ResetTimeoutTimer = 3,
    BulkSendTimer = 4,
    HeartbeatTimer = 5,
};

constexpr int portScanPeriodMs = 500;
constexpr int dumpTimeoutMs = 6000; // all three dump sections together
constexpr int storeTimeoutMs = 6000;
constexpr int resetTimeoutMs = 6000;
constexpr int heartbeatPeriodMs = 3000;
// The full send's delay and pacing: files/ProjectSendPacer.h (transmissionDelayMs,
// transmissionPacingMs).

enum LinkState : int
{
    Idle = 0,
    AwaitingSection7D = 1,
    AwaitingSection7E = 2,
    AwaitingSection7C = 3,
    StorePending = 4,
    ResetPending = 5,
};

// Why an instrument is refused (LinkSupervisor::rejectionOf).
enum IdentityRejection : int
{
    EditorOutOfDate = 1,   // protocol version above ours
    FirmwareOutOfDate = 2, // protocol version below ours
    ModelNotSupported = 3, // model code or hardware revision unknown
};

// Values of TransferEvent.
enum TransferEventValue : int
{
    TransferProgress = 0,
    TransferFinished = 1,
    TransferFailed = 2,
};

} // namespace kestra
