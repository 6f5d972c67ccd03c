#pragma once

// The link with the instrument as the message thread runs it: the search for
// its port pair, the identity check's decisions, the three dump sections, the
// connected state and the heartbeat, store and reset with their time-outs, and
// the handshake again after every tonewheel upload. It owns the link state
// and every link timer; the MIDI input thread only stores what arrives and
// posts, and the owner hands the posts and the timers' expiries in here.
//
// It needs no component: it reaches the window through a Window, the MIDI
// ports through Ports, and time through LinkTimers, so that tests run it
// headless with a clock they advance. Every function runs on the thread that
// owns the link (the message thread in the editor).

#include "link/DeviceLink.h"
#include "link/LinkTimers.h"

#include <functional>

namespace kestra
{

// The boxes the link shows with an OK button.
enum class LinkNotice
{
    portBusy,
    deviceNotFound,
    dumpFailed,
    connectionLost,
    storeConfirmed,
    storeNotConfirmed,
    resetConfirmed,
    resetNotConfirmed,
};

// The toolbar buttons whose pressed state the link ends.
enum class LinkButton
{
    connect,
    store,
    reset,
};

class LinkSupervisor
{
public:
    // What the link needs of the window. Nothing waits for the user: a
    // question is answered through its callback.
    class Window
    {
    public:
        virtual ~Window() = default;
        virtual void showLinkNotice(LinkNotice notice) = 0;
        // The searching box; its Cancel calls cancelSearch().
        virtual void showSearchingBox() = 0;
        virtual void releaseLinkButton(LinkButton button) = 0;
        // The refused instrument's reason (IdentityRejection) in a box.
        virtual void onIdentityRejected(int reason) = 0;
        // The reset question; onAnswer gets true for Yes.
        virtual void askReset(std::function<void(bool yes)> onAnswer) = 0;
        // The indicator, CONNECT and the device and firmware labels.
        virtual void showLinkUp() = 0;
        virtual void showLinkDown() = 0;
        // The values the dump or the reset has brought.
        virtual void showInstrumentValues() = 0;
        virtual void showResetValues() = 0;
    };

    class Ports
    {
    public:
        virtual ~Ports() = default;
        // Opens the pair named for the instrument, else the stored pair.
        // False only when the named pair is there but cannot be opened.
        virtual bool openForSearch() = 0;
        // Closes the pair tried last and opens the next one down; false when
        // none is left (the last pair opened stays open).
        virtual bool openNextPair() = 0;
        virtual void close() = 0;
        virtual bool isOpen() const = 0;
        // Remembers the pair in the settings.
        virtual void rememberPair() = 0;
    };

    LinkSupervisor(DeviceLink& link, LinkTimers& timers, Window& window, Ports& ports);

    // ---- the user ----------------------------------------------------------------
    // CONNECT on: the search; off: the timers stop and the ports close.
    void connect(bool on);
    void setConnected(bool on);
    // Cancel of the searching box.
    void cancelSearch();
    // STORE and RESET pressed (on) or pressed again (off).
    void store(bool on);
    void reset(bool on);

    // ---- posts from the MIDI input thread, and the timers ----------------------------
    void identityReceived();
    void doneReceived();
    void timerExpired(int timerId);
    void scanNextPortPair();

    // ---- around a project send and a tonewheel upload --------------------------------
    // Stops the heartbeat; true if it was running.
    bool suspendHeartbeat();
    // Starts it again if the link is still up.
    void resumeHeartbeat();
    // A refused tonewheel is shown while the handshake that its end started
    // waits: replies count as heartbeat answers, and no time-out runs.
    void holdHandshake();
    // The whole handshake again: the instrument has a new slot.
    void restartHandshake(bool withTimeout);

    // ---- state -----------------------------------------------------------------------
    int state() const { return linkState; }
    bool isConnected() const { return connected; }
    bool isHeartbeatAnswered() const { return heartbeatAnswered; }
    // An identity reply is expected: a search, or the handshake after an upload.
    bool isAwaitingIdentity() const { return awaitingIdentity; }

    // 0 for an instrument the editor takes, else its IdentityRejection.
    static int rejectionOf(const sysex::Identity& identity);

private:
    void heartbeat();
    // The link given up: disconnected as CONNECT switched off would, and CONNECT released.
    void dropConnection();

    DeviceLink& link;
    LinkTimers& timers;
    Window& window;
    Ports& ports;

    int linkState = Idle;
    bool connected = false;
    bool heartbeatAnswered = false;
    bool awaitingIdentity = false;
};

} // namespace kestra
