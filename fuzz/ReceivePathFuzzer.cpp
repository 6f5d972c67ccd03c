// The receive path fed arbitrary bytes as complete messages: the first byte
// is skipped (it once chose the link state, which the receive path no longer
// reads; the corpus keeps it), the rest is split into messages at every 0xF7.

#include "link/DeviceLink.h"

#include <cstddef>
#include <cstdint>

namespace
{
struct SilentHost final : kestra::LinkHost
{
    void sendToInstrument(const uint8_t*, size_t) override {}
    void postInternalMessage(int, int) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilentHost host;
    kestra::DeviceLink fresh(host);
    if (size == 0)
        return 0;

    size_t start = 1;
    for (size_t i = 1; i < size; ++i)
    {
        if (data[i] == 0xF7)
        {
            fresh.handleIncoming(data + start, i + 1 - start);
            start = i + 1;
        }
    }
    if (start < size)
        fresh.handleIncoming(data + start, size - start); // an unterminated tail
    return 0;
}
