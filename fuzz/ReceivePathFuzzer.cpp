// The receive path fed arbitrary bytes as complete messages: the first byte
// chooses whether a tonewheel upload is under way (and how long it is); the
// rest is split into messages at every 0xF7. Everything the editor sends in
// reply must be a framed message with 7-bit data, and an upload must never
// count more bytes left than it started with. A broken rule aborts, so that
// libFuzzer keeps the input.

#include "link/DeviceLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{
using namespace kestra;

void require(bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf(stderr, "ReceivePathFuzzer: %s\n", what);
        std::abort();
    }
}

// The link's host, and the transfer's outlet for the header that starts an upload.
struct CheckedHost final : LinkHost, TonewheelTransfer::Io
{
    // The harness's own loop needs no coverage: the fuzzer explores the editor.
    __attribute__((no_sanitize("coverage"))) void sendToInstrument(const uint8_t* data,
                                                                   size_t size) override
    {
        require(size >= 3 && data[0] == 0xF0 && data[size - 1] == 0xF7, "a message is framed");
        for (size_t i = 1; i + 1 < size; ++i)
            require(data[i] < 0x80, "every data byte of a message is 7-bit");
    }
    void postInternalMessage(int, int) override {}
    void postTransferEvent(int) override {}
};

// The lengths an upload may have: none, one byte, one full packet, a full
// packet and one byte, several packets.
constexpr int32_t uploadLengths[] = {0, 1, 104, 105, 300};

// One link for every input, set back to its state after construction before
// each: the record, the names, the flags and the transfer. Only the version
// text may stay from an earlier input, and the receive path never reads it.
// (The transfer's megabyte is made once, by the first upload.)
DeviceLink& linkForInput(uint8_t first)
{
    static CheckedHost host;
    static DeviceLink link(host);
    static const uint8_t name[filedump::nameSize] = {'F', 'u', 'z', 'z'};
    static uint8_t wheel[300];

    link.setRecord(ProjectRecord::initial());
    link.resetTonewheelNames();
    // Loading ends whatever transfer an earlier input left running.
    const int32_t length = uploadLengths[(first >> 4) % 5];
    for (size_t i = 0; i < sizeof wheel; ++i)
        wheel[i] = static_cast<uint8_t>(i * 37 + first);
    link.transfer.load(name, wheel, length);
    if ((first & 0x40) != 0)
        link.transfer.start(static_cast<uint8_t>(3 + first % 3), length, host);
    return link;
}

void checkTransfer(const TonewheelTransfer& transfer)
{
    const int32_t remaining = transfer.bytesRemaining();
    require(remaining >= 0 && remaining <= transfer.totalLength(),
            "an upload counts between none and all of its bytes as left");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    DeviceLink& link = linkForInput(data[0]);

    size_t start = 1;
    for (size_t i = 1; i < size; ++i)
    {
        if (data[i] == 0xF7)
        {
            link.handleIncoming(data + start, i + 1 - start);
            checkTransfer(link.transfer);
            start = i + 1;
        }
    }
    if (start < size)
        link.handleIncoming(data + start, size - start); // an unterminated tail
    checkTransfer(link.transfer);
    return 0;
}
