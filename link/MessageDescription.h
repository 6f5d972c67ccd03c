#pragma once

// What a message on the wire means, in one line of plain words, for the MIDI
// monitor and its saved logs: "Parameter 23 Hall Time = 2.2 sec",
// "Identity reply: protocol 5, Kestra Brio, revision 1, rel 1.5",
// "File Dump packet 12, 104 bytes", "ACK 12". Pure functions over bytes: no
// component, no state, any thread.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestra
{

// Describes one complete message as it went over the wire (F0 ... F7 for
// System Exclusive). Anything, however malformed, gets a description; nothing
// outside the given bytes is read.
std::string describeMessage(const uint8_t* data, size_t size);

// "F0 7D 1E 06 01 F7": the bytes in upper-case hex, one blank between them.
std::string hexBytes(const uint8_t* data, size_t size);

// A stored parameter value as a line shows it: "2.2 sec", "1 (NORMAL)", "360".
std::string describeParameterValue(int number, float value);

} // namespace kestra
