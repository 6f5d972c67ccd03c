#pragma once

// Everything the MIDI input thread touches: the receive buffer and the
// decoders, the parameter store (inside the project record), the tonewheel
// names, the identity of the connected instrument, the identity replies not
// yet taken, and the tonewheel transfer. It needs no component: it reaches
// the outside through a LinkHost (the content component, or a test), which
// owns the MIDI output and the message queue to the message thread. The
// link's state and timers belong to the message thread (LinkSupervisor): the
// receive path only stores, runs the File Dump replies and posts.
//
// Thread safety: the record, the names, the version text and the replies are
// guarded by one lock. Every accessor may be called from either thread.

#include "link/LinkTypes.h"
#include "link/Sysex.h"
#include "link/TonewheelTransfer.h"
#include "model/OptionLists.h"
#include "model/ProjectRecord.h"

#include <array>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace kestra
{

class LinkHost
{
public:
    virtual ~LinkHost() = default;
    // Hands one complete message to the open MIDI output; nothing when none is open.
    virtual void sendToInstrument(const uint8_t* data, size_t size) = 0;
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

    // Runs f(ProjectRecord&) with the store locked; returns what f returns.
    template <typename F> auto updateRecord(F&& f)
    {
        const std::lock_guard<std::mutex> lock(storeLock);
        return f(projectRecord);
    }

    int modelIndex() const;
    int hardwareRevision() const;
    void setIdentity(int modelIndex, int hardwareRevision);

    // ---- tonewheel names ("FAC1 -  " + name ...) --------------------------------
    std::string tonewheelName(int slot) const;
    std::array<std::string, numTonewheelSlots> tonewheelNames() const;
    void resetTonewheelNames(); // prefix + built-in text

    std::string versionText() const;

    // ---- identity replies -----------------------------------------------------------
    // Each reply is kept here and announced with IdentityReceived; the message
    // thread takes it, in order of arrival.
    std::optional<sysex::Identity> takeIdentity();
    bool hasPendingIdentity() const;
    // Forgets the replies not yet taken: their port pair has been closed.
    void dropPendingIdentities();
    // The model, revision and firmware version of an instrument the editor takes.
    void acceptIdentity(const sysex::Identity& identity);

    // "rel 1.5", "rel 1.2.6": the firmware version as the instrument reports it.
    static std::string makeVersionText(int major, int minor);

    // ---- tonewheel transfer ---------------------------------------------------------
    TonewheelTransfer transfer;
    // Ends a running transfer as the link ends: its CANCEL goes to the
    // instrument, no event follows. False when none was running.
    bool endTransfer();

private:
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
    std::deque<sysex::Identity> identities; // replies not yet taken
};

} // namespace kestra
