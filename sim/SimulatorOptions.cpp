#include "sim/SimulatorOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

namespace kestra
{

namespace
{
constexpr long long maxDelayMs = 600000; // ten minutes
constexpr long long maxCount = 1000000;
constexpr long long maxExtraPorts = 64;

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;)
    {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// A whole decimal number minimum ... maximum, nothing else.
bool parseNumber(const std::string& text, long long minimum, long long maximum, int& result)
{
    if (text.empty() || text.size() > 9)
        return false;
    long long value = 0;
    for (char c : text)
    {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < minimum || value > maximum)
        return false;
    result = static_cast<int>(value);
    return true;
}

// "A<separator>B" with both numbers in their ranges; B may be left out when
// it has a default.
bool parsePair(const std::string& text, char separator, long long maxA, long long minB,
               long long maxB, const int* defaultB, int& a, int& b)
{
    const auto parts = split(text, separator);
    if (parts.size() == 1 && defaultB != nullptr)
    {
        b = *defaultB;
        return parseNumber(parts[0], 0, maxA, a);
    }
    return parts.size() == 2 && parseNumber(parts[0], 0, maxA, a) &&
           parseNumber(parts[1], minB, maxB, b);
}

// "MAJOR.MINOR" or "MAJOR.A.B" (the minor number 10 A + B, as the editor shows
// minor numbers of 26 and more). The minor number 0 ... 254 is split over the
// two minor bytes of the reply.
bool parseFirmware(const std::string& text, sysex::Identity& identity)
{
    const auto parts = split(text, '.');
    int major = 0;
    int minor = 0;
    if (parts.size() == 2)
    {
        if (!parseNumber(parts[0], 0, 127, major) || !parseNumber(parts[1], 0, 254, minor))
            return false;
    }
    else if (parts.size() == 3)
    {
        int tens = 0;
        int units = 0;
        if (!parseNumber(parts[0], 0, 127, major) || !parseNumber(parts[1], 0, 25, tens) ||
            !parseNumber(parts[2], 0, 9, units))
            return false;
        minor = tens * 10 + units;
    }
    else
        return false;
    identity.firmwareMajor = major;
    identity.firmwareMinorA = std::min(minor, 127);
    identity.firmwareMinorB = minor - identity.firmwareMinorA;
    return true;
}

// "ITEM@MS;ITEM@MS...": each item parsed by `parseItem`, each delay 0 ... maxDelayMs.
bool parseCues(const std::string& text,
               const std::function<bool(const std::string&, SimulatorCue&)>& parseItem,
               std::vector<SimulatorCue>& cues)
{
    std::vector<SimulatorCue> parsed;
    for (const auto& part : split(text, ';'))
    {
        const auto at = part.rfind('@');
        if (at == std::string::npos)
            return false;
        SimulatorCue cue;
        if (!parseNumber(trimmed(part.substr(at + 1)), 0, maxDelayMs, cue.afterMs) ||
            !parseItem(trimmed(part.substr(0, at)), cue))
            return false;
        parsed.push_back(std::move(cue));
    }
    cues.insert(cues.end(), parsed.begin(), parsed.end());
    return true;
}

// "N:V": a parameter number and a value it can travel as: any finite float for
// 0 ... 84, a whole 0 ... 127 for the settings 85 ... 98.
bool parseKnob(const std::string& text, SimulatorCue& cue)
{
    const auto parts = split(text, ':');
    if (parts.size() != 2 || !parseNumber(trimmed(parts[0]), 0, numParameters - 1, cue.number))
        return false;
    const std::string value = trimmed(parts[1]);
    if (value.empty() || value.size() > 40)
        return false;
    char* end = nullptr;
    const float v = std::strtof(value.c_str(), &end);
    if (end != value.c_str() + value.size() || !std::isfinite(v))
        return false;
    if (isSettingParameter(cue.number) && !(v >= 0.0f && v <= 127.0f && v == std::floor(v)))
        return false;
    cue.value = v;
    return true;
}

// Hexadecimal bytes, blanks between them allowed; "XX*N" is the byte XX N times
// (1 ... 65536). At least one byte, at most 65536 in all.
bool parseRawBytes(const std::string& text, SimulatorCue& cue)
{
    constexpr size_t maxBytes = 65536;
    auto hexValue = [](char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    sysex::Bytes bytes;
    size_t i = 0;
    while (i < text.size())
    {
        if (text[i] == ' ' || text[i] == '\t')
        {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || hexValue(text[i]) < 0 || hexValue(text[i + 1]) < 0)
            return false;
        const auto byte = static_cast<uint8_t>(hexValue(text[i]) * 16 + hexValue(text[i + 1]));
        i += 2;
        int times = 1;
        if (i < text.size() && text[i] == '*')
        {
            const auto start = ++i;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
                ++i;
            if (!parseNumber(text.substr(start, i - start), 1, maxBytes, times))
                return false;
        }
        if (bytes.size() + static_cast<size_t>(times) > maxBytes)
            return false;
        bytes.insert(bytes.end(), static_cast<size_t>(times), byte);
    }
    if (bytes.empty())
        return false;
    cue.bytes = std::move(bytes);
    return true;
}

struct Option
{
    const char* name;
    bool takesValue;
    const char* expects; // what the value must be, for the error text
    std::function<bool(const std::string&, SimulatorConfig&)> apply;
};

// Every option: the table sim/README.md documents.
const std::vector<Option>& optionTable()
{
    static const std::vector<Option> table = {
        {"model", true, "a model index 0 ... 124 (0 Kestra, 1 Brio, 2 Mira, 3 Tavo)",
         [](const std::string& v, SimulatorConfig& c)
         {
             int index = 0;
             if (!parseNumber(v, 0, 127 - sysex::modelCodeOffset, index))
                 return false;
             c.identity.modelCode = index + sysex::modelCodeOffset;
             return true;
         }},
        {"model-code", true, "a model code 0 ... 127",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, 127, c.identity.modelCode); }},
        {"revision", true, "a hardware revision 0 ... 127",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, 127, c.identity.hardwareRevision); }},
        {"protocol", true, "a protocol version 0 ... 127",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, 127, c.identity.protocol); }},
        {"firmware", true, "MAJOR.MINOR (MINOR 0 ... 254) or MAJOR.A.B",
         [](const std::string& v, SimulatorConfig& c) { return parseFirmware(v, c.identity); }},
        {"silent", false, "",
         [](const std::string&, SimulatorConfig& c)
         {
             c.faults.silent = true;
             return true;
         }},
        {"heartbeat-stops-after", true, "a number of replies",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxCount, c.faults.heartbeatStopsAfter); }},
        {"dump-delay", true, "milliseconds",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxDelayMs, c.faults.dumpDelayMs); }},
        {"silent-after-store", false, "",
         [](const std::string&, SimulatorConfig& c)
         {
             c.faults.silentAfterStore = true;
             return true;
         }},
        {"silent-after-reset", false, "",
         [](const std::string&, SimulatorConfig& c)
         {
             c.faults.silentAfterReset = true;
             return true;
         }},
        {"nak-packet", true, "PACKET or PACKETxTIMES (TIMES 1 ... 1000)",
         [](const std::string& v, SimulatorConfig& c)
         {
             const int once = 1;
             return parsePair(v, 'x', maxCount, 1, 1000, &once, c.faults.nakPacket,
                              c.faults.nakTimes);
         }},
        {"cancel-at-packet", true, "PACKET:CODE (CODE 0 ... 127)",
         [](const std::string& v, SimulatorConfig& c)
         {
             return parsePair(v, ':', maxCount, 0, 127, nullptr, c.faults.cancelAtPacket,
                              c.faults.cancelCode);
         }},
        {"ack-delay", true, "milliseconds",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxDelayMs, c.faults.ackDelayMs); }},
        {"extra-inputs", true, "a number of ports 0 ... 64",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxExtraPorts, c.ports.extraInputsBefore); }},
        {"extra-inputs-after", true, "a number of ports 0 ... 64",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxExtraPorts, c.ports.extraInputsAfter); }},
        {"extra-outputs", true, "a number of ports 0 ... 64",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxExtraPorts, c.ports.extraOutputsBefore); }},
        {"extra-outputs-after", true, "a number of ports 0 ... 64",
         [](const std::string& v, SimulatorConfig& c)
         { return parseNumber(v, 0, maxExtraPorts, c.ports.extraOutputsAfter); }},
        {"busy", false, "",
         [](const std::string&, SimulatorConfig& c)
         {
             c.ports.busy = true;
             return true;
         }},
        {"port-name", true, "a port name",
         [](const std::string& v, SimulatorConfig& c)
         {
             if (v.empty())
                 return false;
             c.portName = v;
             return true;
         }},
        {"play", true, "N:V@MS[;N:V@MS...] (N 0 ... 98; V a number, whole 0 ... 127 for 85 ... 98)",
         [](const std::string& v, SimulatorConfig& c) { return parseCues(v, parseKnob, c.cues); }},
        {"send", true, "HEX@MS[;HEX@MS...] (hexadecimal bytes, XX*N for N of them)",
         [](const std::string& v, SimulatorConfig& c)
         { return parseCues(v, parseRawBytes, c.cues); }},
        {"log", true, "a file path",
         [](const std::string& v, SimulatorConfig& c)
         {
             if (v.empty())
                 return false;
             c.logPath = v;
             return true;
         }},
    };
    return table;
}
} // namespace

bool parseSimulatorOptions(const std::string& options, SimulatorConfig& config, std::string* error)
{
    SimulatorConfig result = config;
    std::string problems;
    auto complain = [&problems](const std::string& text)
    {
        if (!problems.empty())
            problems += "; ";
        problems += text;
    };

    for (const auto& item : split(options, ','))
    {
        const std::string option = trimmed(item);
        if (option.empty())
            continue; // "a,,b" and a trailing comma are harmless
        const auto equals = option.find('=');
        const std::string name = trimmed(option.substr(0, equals));
        const bool hasValue = equals != std::string::npos;
        const std::string value = hasValue ? trimmed(option.substr(equals + 1)) : std::string();

        const Option* known = nullptr;
        for (const auto& candidate : optionTable())
            if (name == candidate.name)
                known = &candidate;

        if (known == nullptr)
            complain("unknown option '" + name + "'");
        else if (known->takesValue && !hasValue)
            complain("option '" + name + "' needs a value: " + known->expects);
        else if (!known->takesValue && hasValue)
            complain("option '" + name + "' takes no value");
        else if (!known->apply(value, result))
            complain("option '" + name + "' needs " + known->expects + ", not '" + value + "'");
    }

    if (!problems.empty())
    {
        if (error != nullptr)
            *error = "KESTRA_EDITOR_SIMULATOR: " + problems;
        return false;
    }
    config = result;
    return true;
}

SimulatedMidiServices::SimulatedMidiServices(const SimulatorConfig& config)
    : simulated(midi, config)
{
}

SimulatedMidiServices::~SimulatedMidiServices() = default;

juce::StringArray SimulatedMidiServices::getInputDeviceNames()
{
    return midi.getInputDeviceNames();
}

juce::StringArray SimulatedMidiServices::getOutputDeviceNames()
{
    return midi.getOutputDeviceNames();
}

std::unique_ptr<MidiInputPort>
SimulatedMidiServices::openInputDevice(int index, juce::MidiInputCallback* callback)
{
    return midi.openInputDevice(index, callback);
}

std::unique_ptr<MidiOutputPort> SimulatedMidiServices::openOutputDevice(int index)
{
    return midi.openOutputDevice(index);
}

std::unique_ptr<MidiServices> createSimulatedMidiServices(const std::string& options,
                                                          std::string* error)
{
    SimulatorConfig config;
    if (!parseSimulatorOptions(options, config, error))
        return nullptr;
    auto services = std::make_unique<SimulatedMidiServices>(config);
    if (!services->instrument().logFileError().empty())
    {
        if (error != nullptr)
            *error = "KESTRA_EDITOR_SIMULATOR: " + services->instrument().logFileError();
        return nullptr;
    }
    return services;
}

} // namespace kestra
