#include "link/TonewheelTransfer.h"

namespace kestra
{

TonewheelTransfer::TonewheelTransfer() : buffer(new uint8_t[bufferSize]()) {}

void TonewheelTransfer::onFileDumpAck(Io&) {}
void TonewheelTransfer::onFileDumpNak(int, Io&) {}
void TonewheelTransfer::onFileDumpCancel(int, Io&) {}

} // namespace kestra
