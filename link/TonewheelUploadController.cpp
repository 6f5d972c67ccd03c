#include "link/TonewheelUploadController.h"

namespace kestra
{

namespace
{
// The transfer's messages from the message thread (the header, the user's
// CANCEL) take the same way out as those the MIDI thread sends.
class HostIo final : public TonewheelTransfer::Io
{
public:
    explicit HostIo(LinkHost& linkHost) : host(linkHost) {}

    void sendToInstrument(const uint8_t* data, size_t size) override
    {
        host.sendToInstrument(data, size);
    }
    void postTransferEvent(int value) override { host.postInternalMessage(TransferEvent, value); }

private:
    LinkHost& host;
};
} // namespace

TonewheelUploadController::TonewheelUploadController(DeviceLink& deviceLink, LinkHost& linkHost,
                                                     LinkSupervisor& linkSupervisor,
                                                     LinkSupervisor::Ports& linkPorts,
                                                     View& uploadView)
    : link(deviceLink), host(linkHost), supervisor(linkSupervisor), ports(linkPorts),
      view(uploadView)
{
}

void TonewheelUploadController::start(uint8_t slot, int32_t length)
{
    // A 1 MiB upload takes minutes on a real MIDI link: the box shows how far it is.
    view.showTransferBox();
    HostIo io(host);
    link.transfer.start(slot, length, io);
}

void TonewheelUploadController::handleEvent(int value)
{
    if (value == TransferProgress)
    {
        showProgress();
        return;
    }

    // A link lost during the transfer has been closed and reported already.
    if (!ports.isOpen())
        return;

    supervisor.suspendHeartbeat();
    if (value == TransferFinished)
    {
        if (view.isTransferBoxShown())
            view.closeTransferBox();
    }
    else if (value == TransferFailed)
    {
        // The instrument may refuse the tonewheel after its EOF, when the
        // handshake that the finish started is under way. Hold that handshake
        // while the error is shown (its end would close the box), and start it
        // again afterwards. During a transfer these are as they already were.
        supervisor.holdHandshake();
        view.showTransferErrorBox(link.transfer.errorCode(),
                                  [this]
                                  {
                                      // Unless the link ended while the box was open.
                                      if (ports.isOpen())
                                          supervisor.restartHandshake(true);
                                  });
        return;
    }

    // However it ended, the instrument has a new slot: run the whole handshake
    // again. The display keeps its connected look until the handshake decides.
    supervisor.restartHandshake(true);
}

void TonewheelUploadController::showProgress()
{
    if (link.transfer.phase() == TonewheelTransfer::Ended || !view.isTransferBoxShown())
        return; // cancelled or ended since, or another box has taken its place

    const auto remaining = link.transfer.bytesRemaining();
    const auto total = link.transfer.totalLength();
    view.showBytesRemaining(remaining);
    if (total > 0)
        view.showProgress(1.0 - static_cast<double>(remaining) / static_cast<double>(total));
}

void TonewheelUploadController::cancel()
{
    HostIo io(host);
    if (!link.transfer.cancel(io))
        return; // it ended on its own meanwhile: the event that says so follows

    supervisor.suspendHeartbeat();
    view.showTransferCancelled();

    // The handshake again, as after every end, but without the time-out.
    supervisor.restartHandshake(false);
}

} // namespace kestra
