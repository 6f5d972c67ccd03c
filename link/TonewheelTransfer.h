#pragma once

// The tonewheel upload over the MIDI File Dump protocol: one header, data
// packets of at most 104 raw bytes, stop and wait on the instrument's ACK,
// resend on NAK, EOF at the end. The reply handlers run on the MIDI input
// thread; the message thread starts, cancels and reads the progress.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kestra
{

class TonewheelTransfer
{
public:
    enum Phase : uint8_t
    {
        AwaitingHeaderAck = 0,
        SendingData = 1,
        Ended = 2,
    };

    static constexpr int32_t bufferSize = 1048576;

    // Where the transfer sends its messages and reports its events.
    class Io
    {
    public:
        virtual ~Io() = default;
        virtual void sendToInstrument(const uint8_t* data, size_t size) = 0;
        virtual void postTransferEvent(int value) = 0;
    };

    TonewheelTransfer();

    uint8_t* tonewheelBuffer() { return buffer.get(); }

    Phase phase() const { return static_cast<Phase>(currentPhase.load()); }
    int32_t bytesRemaining() const { return remaining.load(); }
    int errorCode() const { return error.load(); }

    void onFileDumpAck(Io& io);
    void onFileDumpNak(int code, Io& io);
    void onFileDumpCancel(int code, Io& io);

private:
    std::unique_ptr<uint8_t[]> buffer;
    std::atomic<uint8_t> currentPhase{Ended};
    std::atomic<int32_t> remaining{0};
    std::atomic<int> error{0};
};

} // namespace kestra
