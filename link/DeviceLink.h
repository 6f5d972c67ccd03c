#pragma once

// Everything the MIDI input thread touches: the receive buffer and the
// decoders, the parameter store (inside the project record), the tonewheel
// names, the identity of the connected instrument, the link state, and the
// tonewheel transfer. It needs no component: it reaches the outside through a
// LinkHost (the content component, or a test), which owns the MIDI output,
// the timers and the message queue to the message thread.
//
// Thread safety: the record, the names and the version text are guarded by
// one lock; the link flags and the state are atomics. Every accessor may be
// called from either thread.

#include "link/LinkTypes.h"
#include "link/Sysex.h"
#include "link/TonewheelTransfer.h"
#include "model/OptionLists.h"
#include "model/ProjectRecord.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>

namespace kestra
{

class LinkHost
{
public:
    virtual ~LinkHost() = default;
    // Hands one complete message to the open MIDI output; nothing when none is open.
    virtual void sendToInstrument(const uint8_t* data, size_t size) = 0;
    // The content component's one-shot timers; safe from both threads.
    virtual void startLinkTimer(int timerId, int milliseconds) = 0;
    virtual void stopLinkTimer(int timerId) = 0;
    // Posts an InternalMessage to the message thread.
    virtual void postInternalMessage(int type, int value) = 0;
};

class DeviceLink : private TonewheelTransfer::Io
{
public:
    explicit DeviceLink(LinkHost& host);

    // ---- receive path (MIDI input thread) -----------------------------------
    // One complete message as it arrived, F0 ... F7.
    void handleIncoming(const uint8_t* data, size_t size);

    // ---- senders (either thread) ----------------------------------------------
    void sendParameterValueMessage(int number, float value);
    void sendParameterByteMessage(int number, uint8_t value);
    void sendStoreRequest();
    void sendDumpRequest(uint8_t section);
    void sendIdentityRequest();
    void sendResetRequest();
    void sendBulkModeMessage(uint8_t mode);
    // Value message for 0 ... 84, byte message for 85 ... 98. A setting that no
    // byte can carry goes out mended (settingByteFor) and the store takes the
    // mended value, so that it holds what the instrument now holds; the result
    // is true then.
    bool sendParameter(int number);

    // ---- the project record and the parameter store -----------------------------
    ProjectRecord record() const;
    void setRecord(const ProjectRecord& newRecord);
    ParameterValues parameterValues() const;
    float parameterValue(int number) const;
    void setParameterValue(int number, float value);

    // Runs f(ParameterValues&) with the store locked; returns what f returns.
    template <typename F> auto updateParameterValues(F&& f)
    {
        const std::lock_guard<std::mutex> lock(storeLock);
        return f(projectRecord.parameterValues);
    }

    int modelIndex() const;
    int hardwareRevision() const;
    void setIdentity(int modelIndex, int hardwareRevision);

    // ---- tonewheel names ("FAC1 -  " + name ...) --------------------------------
    std::string tonewheelName(int slot) const;
    std::array<std::string, numTonewheelSlots> tonewheelNames() const;
    void resetTonewheelNames(); // prefix + built-in text

    std::string versionText() const;

    // ---- link state ---------------------------------------------------------------
    std::atomic<int> linkState{Idle};
    std::atomic<bool> connected{false};
    std::atomic<bool> heartbeatAnswered{false};

    // "rel 1.5", "rel 1.2.6": the firmware version as the instrument reports it.
    static std::string makeVersionText(int major, int minor);

    // ---- tonewheel transfer ---------------------------------------------------------
    TonewheelTransfer transfer;

private:
    void identityCheck(const sysex::Identity& identity);
    void send(const sysex::Bytes& message);

    // TonewheelTransfer::Io
    void sendToInstrument(const uint8_t* data, size_t size) override;
    void postTransferEvent(int value) override;

    LinkHost& host;

    std::array<uint8_t, sysex::receiveBufferSize> receiveBuffer{}; // MIDI input thread only

    mutable std::mutex storeLock;
    ProjectRecord projectRecord = ProjectRecord::initial();
    std::array<std::string, numTonewheelSlots> names;
    std::string version;
};

} // namespace kestra
