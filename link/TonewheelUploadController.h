#pragma once

// The tonewheel upload as the message thread runs it: its start with the
// transfer box, the transfer's events (progress, finished, failed), the
// user's cancel, and the handshake again after every end, since the
// instrument then has a new slot. The File Dump replies themselves are
// handled on the MIDI input thread by TonewheelTransfer.
//
// It needs no component: the window is reached through a View. Every
// function runs on the thread that owns the link (the message thread in the
// editor). Nothing waits for the user; the link can end while a box is open.

#include "link/LinkSupervisor.h"

#include <cstdint>
#include <functional>

namespace kestra
{

class TonewheelUploadController
{
public:
    class View
    {
    public:
        virtual ~View() = default;
        // The box "Transmitting tonewheel..." with Cancel and a progress bar at 0.
        virtual void showTransferBox() = 0;
        // Whether that box is still the one shown: another (a lost
        // connection, say) may have taken its place.
        virtual bool isTransferBoxShown() const = 0;
        // Updates the shown box: its text with the bytes still to go, and the
        // bar, which shows done (0 ... 1).
        virtual void showBytesRemaining(int32_t remaining) = 0;
        virtual void showProgress(double done) = 0;
        virtual void closeTransferBox() = 0;
        // "Transmission aborted" with the instrument's error text (code as
        // TonewheelTransfer::errorCode() has it); an OK box. then runs once
        // the box has gone.
        virtual void showTransferErrorBox(int errorCode, std::function<void()> then) = 0;
        // The user's cancel went out: LOAD... released and the OK box that
        // says the slot's tonewheel is deleted.
        virtual void showTransferCancelled() = 0;
    };

    TonewheelUploadController(DeviceLink& link, LinkHost& host, LinkSupervisor& supervisor,
                              LinkSupervisor::Ports& ports, View& view);

    // Starts the upload of what link.transfer has loaded into slot.
    void start(uint8_t slot, int32_t length);
    // TransferEvent from the transfer (TransferEventValue).
    void handleEvent(int value);
    // Cancel of the transfer box.
    void cancel();
    // The transfer box with how far the upload is; nothing once it has ended
    // or another box has taken its place.
    void showProgress();

private:
    DeviceLink& link;
    LinkHost& host;
    LinkSupervisor& supervisor;
    LinkSupervisor::Ports& ports;
    View& view;
};

} // namespace kestra
