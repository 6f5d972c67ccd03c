#include "link/DeviceLink.h"

#include "model/Conversions.h"

#include <algorithm>

namespace kestra
{

DeviceLink::DeviceLink(LinkHost& linkHost) : host(linkHost)
{
    resetTonewheelNames();
}

// ---- receive path ------------------------------------------------------------------

void DeviceLink::handleIncoming(const uint8_t* data, size_t size)
{
    // Channel messages, clock and anything malformed or longer than the buffer
    // are dropped here without trace.
    if (!sysex::isWellFormed(data, size))
        return;

    // Byte n of the message lands at position n of the buffer; 0 is never written.
    std::copy(data + 1, data + size - 1, receiveBuffer.begin() + 1);
    const auto message = sysex::decodeFields(receiveBuffer.data(), size);

    using Kind = sysex::Decoded::Kind;
    switch (message.kind)
    {
    case Kind::parameterValue:
    case Kind::parameterByte:
        // A value that is not a finite number is refused: the old one stays.
        if (!isValidParameterNumber(message.number) || !isStorableValue(message.value))
            return;
        setParameterValue(message.number, message.value);
        host.postInternalMessage(ParameterChanged, message.number);
        break;

    case Kind::done:
        host.postInternalMessage(DoneReceived, 0);
        break;

    case Kind::identityReply:
    {
        const std::lock_guard<std::mutex> lock(storeLock);
        identities.push_back(message.identity);
    }
        host.postInternalMessage(IdentityReceived, 0);
        break;

    case Kind::tonewheelName:
    {
        const int slot = message.number;
        if (slot < 0 || slot >= numTonewheelSlots)
            return;
        {
            const std::lock_guard<std::mutex> lock(storeLock);
            names[static_cast<size_t>(slot)] =
                tonewheelSlotPrefixes[static_cast<size_t>(slot)] + message.name;
        }
        host.postInternalMessage(TonewheelNameChanged, slot);
        break;
    }

    case Kind::fileDumpAck:
        transfer.onFileDumpAck(*this);
        break;
    case Kind::fileDumpNak:
        transfer.onFileDumpNak(message.code, *this);
        break;
    case Kind::fileDumpCancel:
        transfer.onFileDumpCancel(message.code, *this);
        break;

    default: // the editor's own commands, other sub-IDs: ignored
        break;
    }
}

std::string DeviceLink::makeVersionText(int major, int minor)
{
    std::string text = "rel " + std::to_string(major) + ".";
    if (minor < 26)
        return text + std::to_string(minor);
    return text + std::to_string(minor / 10) + "." + std::to_string(minor % 10);
}

std::optional<sysex::Identity> DeviceLink::takeIdentity()
{
    const std::lock_guard<std::mutex> lock(storeLock);
    if (identities.empty())
        return std::nullopt;
    const auto identity = identities.front();
    identities.pop_front();
    return identity;
}

bool DeviceLink::hasPendingIdentity() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return !identities.empty();
}

void DeviceLink::dropPendingIdentities()
{
    const std::lock_guard<std::mutex> lock(storeLock);
    identities.clear();
}

void DeviceLink::acceptIdentity(const sysex::Identity& identity)
{
    const std::lock_guard<std::mutex> lock(storeLock);
    projectRecord.modelIndex = identity.modelCode - sysex::modelCodeOffset;
    projectRecord.hardwareRevision = identity.hardwareRevision;
    version =
        makeVersionText(identity.firmwareMajor, identity.firmwareMinorA + identity.firmwareMinorB);
}

bool DeviceLink::endTransfer()
{
    // The CANCEL takes the usual way out; the end is nobody's event.
    struct Quiet final : TonewheelTransfer::Io
    {
        explicit Quiet(LinkHost& linkHost) : host(linkHost) {}
        void sendToInstrument(const uint8_t* data, size_t size) override
        {
            host.sendToInstrument(data, size);
        }
        void postTransferEvent(int) override {}
        LinkHost& host;
    };
    Quiet io(host);
    return transfer.cancel(io);
}

// ---- senders ---------------------------------------------------------------------------

void DeviceLink::send(const sysex::Bytes& message)
{
    host.sendToInstrument(message.data(), message.size());
}

void DeviceLink::sendParameterValueMessage(int number, float value)
{
    send(sysex::parameterValueMessage(number, value));
}

void DeviceLink::sendParameterByteMessage(int number, uint8_t value)
{
    send(sysex::parameterByteMessage(number, value));
}

void DeviceLink::sendStoreRequest()
{
    send(sysex::storeRequest());
}

void DeviceLink::sendDumpRequest(uint8_t section)
{
    send(sysex::dumpRequest(section));
}

void DeviceLink::sendIdentityRequest()
{
    send(sysex::identityRequest());
}

void DeviceLink::sendResetRequest()
{
    send(sysex::resetRequest());
}

void DeviceLink::sendBulkModeMessage(uint8_t mode)
{
    send(sysex::bulkModeMessage(mode));
}

bool DeviceLink::sendParameter(int number)
{
    if (!isValidParameterNumber(number))
        return false;
    if (number < firstSettingParameter)
    {
        sendParameterValueMessage(number, parameterValue(number));
        return false;
    }

    bool mended = false;
    const int byte = updateParameterValues(
        [&](ParameterValues& v)
        {
            float& stored = v[static_cast<size_t>(number)];
            const int sent = settingByteFor(number, stored);
            mended = !isFramableSetting(stored);
            if (mended)
                stored = static_cast<float>(sent);
            return sent;
        });
    sendParameterByteMessage(number, static_cast<uint8_t>(byte));
    return mended;
}

void DeviceLink::sendToInstrument(const uint8_t* data, size_t size)
{
    host.sendToInstrument(data, size);
}

void DeviceLink::postTransferEvent(int value)
{
    host.postInternalMessage(TransferEvent, value);
}

// ---- store, names, identity -------------------------------------------------------------

ProjectRecord DeviceLink::record() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return projectRecord;
}

void DeviceLink::setRecord(const ProjectRecord& newRecord)
{
    const std::lock_guard<std::mutex> lock(storeLock);
    projectRecord = newRecord;
}

ParameterValues DeviceLink::parameterValues() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return projectRecord.parameterValues;
}

float DeviceLink::parameterValue(int number) const
{
    if (!isValidParameterNumber(number))
        return 0.0f;
    const std::lock_guard<std::mutex> lock(storeLock);
    return projectRecord.parameterValues[static_cast<size_t>(number)];
}

void DeviceLink::setParameterValue(int number, float value)
{
    if (!isValidParameterNumber(number))
        return;
    const std::lock_guard<std::mutex> lock(storeLock);
    projectRecord.parameterValues[static_cast<size_t>(number)] = value;
}

int DeviceLink::modelIndex() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return projectRecord.modelIndex;
}

int DeviceLink::hardwareRevision() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return projectRecord.hardwareRevision;
}

void DeviceLink::setIdentity(int newModelIndex, int newRevision)
{
    const std::lock_guard<std::mutex> lock(storeLock);
    projectRecord.modelIndex = newModelIndex;
    projectRecord.hardwareRevision = newRevision;
}

std::string DeviceLink::tonewheelName(int slot) const
{
    if (slot < 0 || slot >= numTonewheelSlots)
        return {};
    const std::lock_guard<std::mutex> lock(storeLock);
    return names[static_cast<size_t>(slot)];
}

std::array<std::string, numTonewheelSlots> DeviceLink::tonewheelNames() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return names;
}

void DeviceLink::resetTonewheelNames()
{
    const std::lock_guard<std::mutex> lock(storeLock);
    for (size_t slot = 0; slot < names.size(); ++slot)
        names[slot] = std::string(tonewheelSlotPrefixes[slot]) +
                      options::tonewheelModels[static_cast<int>(slot)];
}

std::string DeviceLink::versionText() const
{
    const std::lock_guard<std::mutex> lock(storeLock);
    return version;
}

} // namespace kestra
