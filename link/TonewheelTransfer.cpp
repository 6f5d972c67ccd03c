#include "link/TonewheelTransfer.h"

#include "link/LinkTypes.h"

#include <algorithm>

namespace kestra
{

// Rows of 64 bytes, NUL-padded.
const char tonewheelErrorTexts[numTonewheelErrorTexts][tonewheelErrorTextSize] = {
    "The size of the header is wrong!",    "The tonewheel number is wrong!",
    "The size of the tonewheel is wrong!", "The dsp is not responding!",
    "The dsp can not erase flash!",        "The dsp can not write flash!",
};

const char* tonewheelErrorText(int code)
{
    if (code < 0 || code >= numTonewheelErrorTexts)
        return nullptr;
    return tonewheelErrorTexts[code];
}

TonewheelTransfer::TonewheelTransfer() = default;

// ---- message thread --------------------------------------------------------------------

void TonewheelTransfer::load(const uint8_t* newName, const uint8_t* data, int32_t length)
{
    const std::lock_guard<std::mutex> guard(lock);
    currentPhase = Ended; // a late reply of an earlier transfer must not read the new data
    cancelReportable = false;
    std::copy(newName, newName + filedump::nameSize, name.begin());
    length = std::clamp<int32_t>(length, 0, bufferSize);
    std::copy(data, data + length, ensureBuffer());
}

void TonewheelTransfer::start(uint8_t slot, int32_t length, Io& io)
{
    const std::lock_guard<std::mutex> guard(lock);
    ensureBuffer();
    type = filedump::typeForSlot(slot);
    length = std::clamp<int32_t>(length, 0, bufferSize);
    total = length;
    remaining = length;
    error = -1;
    naks = 0;
    cancelReportable = true;
    currentPhase = AwaitingHeaderAck;
    sendHeader(io);
}

bool TonewheelTransfer::cancel(Io& io)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (currentPhase.load() == Ended)
        return false;
    currentPhase = Ended;
    cancelReportable = false; // the instrument's own CANCEL now only echoes ours
    io.sendToInstrument(filedump::cancelMessage.data(), filedump::cancelMessage.size());
    return true;
}

// ---- MIDI input thread -------------------------------------------------------------------

void TonewheelTransfer::onFileDumpAck(Io& io)
{
    const std::lock_guard<std::mutex> guard(lock);
    switch (currentPhase.load())
    {
    case AwaitingHeaderAck:
        number = 0;
        readPosition = 0;
        naks = 0;
        chunkLength = std::min<int32_t>(filedump::maxChunkLength, remaining.load());
        if (chunkLength == 0)
        {
            // Nothing to send: a packet without data has no byte count.
            currentPhase = Ended;
            io.sendToInstrument(filedump::eofMessage.data(), filedump::eofMessage.size());
            io.postTransferEvent(TransferFinished);
            return;
        }
        currentPhase = SendingData;
        sendPacket(io);
        return;

    case SendingData:
    {
        const int32_t left = remaining.load() - chunkLength;
        remaining = left;
        readPosition += static_cast<size_t>(chunkLength);
        if (left == 0)
        {
            currentPhase = Ended;
            io.sendToInstrument(filedump::eofMessage.data(), filedump::eofMessage.size());
            io.postTransferEvent(TransferFinished);
            return;
        }
        number = static_cast<uint8_t>((number + 1) & 0x7F);
        naks = 0;
        chunkLength = std::min(chunkLength, left);
        sendPacket(io);
        io.postTransferEvent(TransferProgress);
        return;
    }

    default: // Ended: after the EOF, a cancel or the instrument's end
        return;
    }
}

void TonewheelTransfer::onFileDumpNak(int code, Io& io)
{
    const std::lock_guard<std::mutex> guard(lock);
    const auto current = currentPhase.load();
    if (current == Ended)
        return; // nothing outstanding to send again

    if (++naks < maxSends)
    {
        // The header, or the outstanding packet, again: same number, same data.
        if (current == AwaitingHeaderAck)
            sendHeader(io);
        else
            sendPacket(io);
        return;
    }
    end(io, code, true);
}

void TonewheelTransfer::onFileDumpCancel(int code, Io& io)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!cancelReportable)
        return;
    end(io, code, false);
}

// ---- with the lock held ------------------------------------------------------------------

void TonewheelTransfer::sendHeader(Io& io)
{
    uint8_t message[filedump::headerSize];
    const size_t size = filedump::buildHeader(type, total.load(), name, message);
    io.sendToInstrument(message, size);
}

void TonewheelTransfer::sendPacket(Io& io)
{
    uint8_t message[filedump::maxPacketSize];
    const size_t size =
        filedump::buildDataPacket(number, buffer.get() + readPosition, chunkLength, message);
    io.sendToInstrument(message, size);
}

void TonewheelTransfer::end(Io& io, int code, bool sendCancel)
{
    currentPhase = Ended;
    cancelReportable = false;
    error = code;
    if (sendCancel)
        io.sendToInstrument(filedump::cancelMessage.data(), filedump::cancelMessage.size());
    io.postTransferEvent(TransferFailed);
}

uint8_t* TonewheelTransfer::ensureBuffer()
{
    if (buffer == nullptr)
        buffer.reset(new uint8_t[bufferSize]());
    return buffer.get();
}

// ---- readers -------------------------------------------------------------------------------

uint8_t TonewheelTransfer::packetNumber() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return number;
}

int TonewheelTransfer::nakCount() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return naks;
}

filedump::Type TonewheelTransfer::dumpType() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return type;
}

filedump::Name TonewheelTransfer::dumpName() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return name;
}

std::vector<uint8_t> TonewheelTransfer::bufferContents(size_t count) const
{
    const std::lock_guard<std::mutex> guard(lock);
    count = std::min<size_t>(count, bufferSize);
    if (buffer == nullptr)
        return std::vector<uint8_t>(count, 0); // nothing loaded yet: the zeroed buffer
    return {buffer.get(), buffer.get() + count};
}

} // namespace kestra
