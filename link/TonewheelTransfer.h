#pragma once

// The tonewheel upload over the MIDI File Dump protocol: one header, data
// packets of at most 104 raw bytes, stop and wait on the instrument's ACK,
// resend on NAK, EOF at the end. The reply handlers run on the MIDI input
// thread; the message thread loads the data, starts, cancels and reads the
// progress.
//
// Thread safety: one lock orders everything that decides what goes out next,
// and it is held while that message is sent, so that nothing of a transfer
// can leave after the CANCEL of the user's Cancel, or after a new header.
// The phase, the bytes remaining and the error code are also kept in atomics
// for the message thread, which reads them when it handles an event without
// waiting for a send in progress.

#include "link/FileDump.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kestra
{

class TonewheelTransfer
{
public:
    enum Phase : uint8_t
    {
        AwaitingHeaderAck = 0, // header sent, no ACK yet
        SendingData = 1,       // a data packet is outstanding
        Ended = 2,             // EOF sent, cancelled, or ended by the instrument
    };

    static constexpr int32_t bufferSize = 1048576;
    static constexpr int maxSends = 3; // a packet goes out at most three times

    // Where the transfer sends its messages and reports its events
    // (TransferProgress, TransferFinished, TransferFailed).
    class Io
    {
    public:
        virtual ~Io() = default;
        virtual void sendToInstrument(const uint8_t* data, size_t size) = 0;
        virtual void postTransferEvent(int value) = 0;
    };

    TonewheelTransfer();

    // ---- message thread -----------------------------------------------------------
    // Puts a tonewheel into place: the 32 name bytes as they are (bit 7 is
    // cleared in the header) and length data bytes at the start of the buffer.
    // Ends a transfer still running without sending anything. length is
    // limited to 0 ... bufferSize.
    void load(const uint8_t* name, const uint8_t* data, int32_t length);

    // Starts the transfer of the first length bytes of the buffer into slot
    // 3, 4 or 5: sets the type and the length and sends the header.
    void start(uint8_t slot, int32_t length, Io& io);

    // The user's Cancel: ends the transfer and sends CANCEL. Returns false,
    // sending nothing, when it had already ended (its EOF went out, or the
    // instrument ended it): then the event that says so is on its way.
    bool cancel(Io& io);

    // ---- MIDI input thread: the instrument's replies ---------------------------------
    void onFileDumpAck(Io& io);
    // code: byte 4 of the message, -1 when it has none.
    void onFileDumpNak(int code, Io& io);
    // Ends a running transfer. After the EOF it is the instrument refusing the
    // tonewheel, and is reported too; after a failure already reported, after
    // the user's Cancel and before any transfer it is ignored.
    void onFileDumpCancel(int code, Io& io);

    // ---- either thread ------------------------------------------------------------------
    Phase phase() const { return static_cast<Phase>(currentPhase.load()); }
    // Data bytes not yet acknowledged, the outstanding packet included.
    int32_t bytesRemaining() const { return remaining.load(); }
    // The length the transfer started with.
    int32_t totalLength() const { return total.load(); }
    // Byte 4 of the CANCEL or the NAK that ended the transfer; -1 without one.
    int errorCode() const { return error.load(); }

    uint8_t packetNumber() const;
    int nakCount() const;
    filedump::Type dumpType() const;
    filedump::Name dumpName() const;
    // A copy of count bytes of the buffer from its start.
    std::vector<uint8_t> bufferContents(size_t count) const;

private:
    void sendPacket(Io& io);
    void sendHeader(Io& io);
    void end(Io& io, int code, bool sendCancel);
    uint8_t* ensureBuffer();

    mutable std::mutex lock;
    // bufferSize bytes, zeroed, the tonewheel data from the start. Made by the
    // first load or start: an editor that never uploads, and every link the
    // tests and the fuzzers make, does without the megabyte.
    std::unique_ptr<uint8_t[]> buffer;
    filedump::Type type{};
    filedump::Name name{};
    uint8_t number = 0;  // of the outstanding data packet, 0 ... 127
    int chunkLength = 0; // raw bytes in the outstanding packet, at most 104
    int naks = 0;        // NAKs for the outstanding packet (or the header)
    // A CANCEL from the instrument is reported: set at the start, cleared once a
    // failure has been reported, by the user's Cancel and by new data.
    bool cancelReportable = false;
    size_t readPosition = 0;

    std::atomic<uint8_t> currentPhase{Ended};
    std::atomic<int32_t> remaining{0};
    std::atomic<int32_t> total{0};
    std::atomic<int> error{-1};
};

// The instrument's error texts, by error code 0 ... 5.
constexpr int numTonewheelErrorTexts = 6;
constexpr size_t tonewheelErrorTextSize = 64;
extern const char tonewheelErrorTexts[numTonewheelErrorTexts][tonewheelErrorTextSize];

// The row of an error code, or null for a code outside the table: the
// instrument may report codes above 5, and a NAK or CANCEL without a code.
const char* tonewheelErrorText(int code);

} // namespace kestra
