#include "link/MessageDescription.h"

#include "link/DeviceLink.h"
#include "link/FileDump.h"
#include "link/Sysex.h"
#include "link/TonewheelTransfer.h"
#include "model/ParameterCatalogue.h"

#include <cmath>
#include <cstdio>

namespace kestra
{

namespace
{
std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// The value with the decimals of the control's step, unless that would hide
// a difference: a value off the step shows all its significant digits.
std::string formatValue(float value, float step)
{
    if (value == 0.0f)
        value = 0.0f; // never "-0.0"
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value > 0.0f ? "+infinity" : "-infinity");
    if (step > 0.0f)
    {
        const int decimals = decimalsForStep(step);
        char pattern[16];
        std::snprintf(pattern, sizeof pattern, "%%.%df", decimals);
        const auto text = format(pattern, static_cast<double>(value));
        if (std::fabs(std::strtod(text.c_str(), nullptr) - static_cast<double>(value)) <=
            1.0e-5 * std::fmax(1.0, std::fabs(static_cast<double>(value))))
            return text;
    }
    return format("%.7g", static_cast<double>(value));
}

std::string hexByte(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string describeInstrumentMessage(const sysex::Decoded& d)
{
    using Kind = sysex::Decoded::Kind;
    switch (d.kind)
    {
    case Kind::parameterValue:
    case Kind::parameterByte:
    {
        std::string text = "Parameter " + std::to_string(d.number);
        if (isValidParameterNumber(d.number) && *parameterInfo(d.number).label != '\0')
            text += std::string(" ") + parameterInfo(d.number).label;
        text += " = " + describeParameterValue(d.number, d.value);
        if (!isStorableValue(d.value))
            text += " (refused: not a finite number)"; // the editor keeps the value it had
        return text;
    }
    case Kind::storeRequest:
        return "Store request";
    case Kind::dumpRequest:
        return "Dump request, section " + hexByte(d.number);
    case Kind::done:
        return "Done";
    case Kind::identityRequest:
        return "Identity request";
    case Kind::identityReply:
    {
        const auto& i = d.identity;
        const int model = i.modelCode - sysex::modelCodeOffset;
        const std::string name = isValidModelIndex(model)
                                     ? modelName(model)
                                     : "model code " + std::to_string(i.modelCode);
        return "Identity reply: protocol " + std::to_string(i.protocol) + ", " + name +
               ", revision " + std::to_string(i.hardwareRevision) + ", " +
               DeviceLink::makeVersionText(i.firmwareMajor, i.firmwareMinorA + i.firmwareMinorB);
    }
    case Kind::resetRequest:
        return "Reset request";
    case Kind::tonewheelName:
        return "Tonewheel name, slot " + std::to_string(d.number) + ": \"" + d.name + "\"";
    case Kind::bulkMode:
        return d.number == 1   ? "Bulk mode on"
               : d.number == 0 ? "Bulk mode off"
                               : "Bulk mode " + std::to_string(d.number);
    default:
        return {};
    }
}

std::string describeFileDump(const uint8_t* m, size_t size)
{
    using namespace filedump;
    const uint8_t subId = m[3];
    const std::string packet = size >= 6 ? " " + std::to_string(m[4]) : std::string();
    switch (subId)
    {
    case sysex::fileDumpSubId:
        if (size >= headerSize && m[4] == headerPacketType)
        {
            std::string type;
            for (size_t i = 6; i < 9 && m[i] != 0; ++i)
                type += static_cast<char>(m[i] & 0x7F);
            const long length = m[10] | m[11] << 7 | m[12] << 14 | static_cast<long>(m[13]) << 21;
            std::string name;
            for (size_t i = 14; i < 14 + nameSize && m[i] != 0; ++i)
                name += static_cast<char>(m[i] >= 0x20 && m[i] < 0x7F ? m[i] : '.');
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            return "File Dump header, type " + type + ", " + std::to_string(length) + " bytes, \"" +
                   name + "\"";
        }
        if (size >= 9 && m[4] == dataPacketType)
        {
            // Byte 6 is the encoded length minus one: n raw bytes take n + ceil(n / 7).
            const int encoded = m[6] + 1;
            const int raw = encoded - (encoded + 7) / 8;
            return "File Dump packet " + std::to_string(m[5]) + ", " + std::to_string(raw) +
                   " bytes";
        }
        return "File Dump message";
    case sysex::eofSubId:
        return "EOF" + packet;
    case sysex::waitSubId:
        return "WAIT" + packet;
    case sysex::cancelSubId:
        return "CANCEL" + packet;
    case sysex::nakSubId:
        return "NAK" + packet;
    case sysex::ackSubId:
        return "ACK" + packet;
    default:
        return "Universal message, sub-ID " + hexByte(subId);
    }
}

std::string describeChannelMessage(const uint8_t* m, size_t size)
{
    const int status = m[0];
    if (status >= 0xF0)
    {
        switch (status)
        {
        case 0xF8:
            return "Clock";
        case 0xFA:
            return "Start";
        case 0xFB:
            return "Continue";
        case 0xFC:
            return "Stop";
        case 0xFE:
            return "Active sensing";
        case 0xFF:
            return "System reset";
        default:
            return "System message";
        }
    }
    if (status < 0x80)
        return "Not a MIDI message";
    static const char* const names[] = {"Note off",       "Note on",        "Key pressure",
                                        "Control change", "Program change", "Channel pressure",
                                        "Pitch bend"};
    std::string text =
        std::string(names[(status >> 4) - 8]) + ", channel " + std::to_string((status & 0x0F) + 1);
    for (size_t i = 1; i < size && i < 3; ++i)
        text += (i == 1 ? ": " : " ") + std::to_string(m[i]);
    return text;
}
} // namespace

std::string describeParameterValue(int number, float value)
{
    if (!isValidParameterNumber(number))
        return formatValue(value, 0.0f);
    const auto& info = parameterInfo(number);
    switch (info.conversion)
    {
    case Conversion::direct:
        if (info.control == ControlKind::slider)
            return formatValue(value, info.step) + info.suffix;
        return formatValue(value, 0.0f);
    case Conversion::index:
    {
        const auto text = formatValue(value, 1.0f);
        const int index = static_cast<int>(value);
        if (info.options != nullptr && std::isfinite(value) && value == static_cast<float>(index) &&
            info.options->isValidIndex(index))
            return text + " (" + (*info.options)[index] + ")";
        return text;
    }
    default: // stored in another unit than the control shows
        return formatValue(value, 0.0f);
    }
}

std::string hexBytes(const uint8_t* data, size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 3);
    for (size_t i = 0; i < size; ++i)
    {
        if (i > 0)
            text += ' ';
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    return text;
}

std::string describeMessage(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0)
        return "Empty message";
    if (data[0] != sysex::sysexStart)
        return describeChannelMessage(data, size);
    if (!sysex::isWellFormed(data, size))
        return size > sysex::maxMessageSize ? "SysEx too long (" + std::to_string(size) + " bytes)"
                                            : "Malformed SysEx";

    if (data[1] == sysex::manufacturerId)
    {
        if (data[2] != sysex::deviceCode)
            return "SysEx for another device (" + hexByte(data[2]) + ")";
        const auto text = describeInstrumentMessage(sysex::decodeFields(data, size));
        return text.empty() ? "Unknown command " + hexByte(data[3]) : text;
    }
    if (data[1] == sysex::universalNonRealTime)
        return describeFileDump(data, size);
    return "SysEx of another maker (" + hexByte(data[1]) + ")";
}

} // namespace kestra
