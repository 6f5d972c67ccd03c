#include "cli/TerminalOutput.h"

#include "model/SafeText.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <utility>

namespace kestra::cli
{

namespace
{
// An incomplete UTF-8 sequence at the end of a write waits for the next one,
// and so does a carriage return, which stays only before a line feed.
size_t incompleteTail(const std::string& text)
{
    const size_t size = text.size();
    if (size > 0 && text.back() == '\r')
        return 1;
    for (size_t back = 1; back <= 3 && back <= size; ++back)
    {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const size_t needed = (byte & 0xE0) == 0xC0   ? 2
                              : (byte & 0xF0) == 0xE0 ? 3
                              : (byte & 0xF8) == 0xF0 ? 4
                                                      : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

class EscapingBuffer final : public std::streambuf
{
public:
    EscapingBuffer(std::streambuf* targetBuffer, const char* streamName)
        : target(targetBuffer), name(streamName)
    {
    }

    void writeRaw(const std::string& text)
    {
        flushPending();
        put(text);
    }

    // What waits for the rest of a character goes out as it is, escaped.
    void drain() { flushPending(); }

    bool failed() const { return failure != 0; }
    std::string why() const { return std::string(name) + ": " + std::strerror(failure); }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char one = traits_type::to_char_type(c);
        return take(&one, 1) ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        return take(s, static_cast<size_t>(n)) ? n : 0;
    }

    int sync() override
    {
        if (target->pubsync() != 0)
            noteFailure();
        return failed() ? -1 : 0;
    }

private:
    bool take(const char* data, size_t size)
    {
        pending.append(data, size);
        const size_t keep = incompleteTail(pending);
        const auto complete = pending.substr(0, pending.size() - keep);
        pending.erase(0, pending.size() - keep);
        return put(safetext::forDisplay(complete, true));
    }

    void flushPending()
    {
        if (!pending.empty())
            put(safetext::forDisplay(std::exchange(pending, std::string()), true));
    }

    bool put(const std::string& text)
    {
        if (failed())
            return false;
        const auto written = target->sputn(text.data(), static_cast<std::streamsize>(text.size()));
        if (written != static_cast<std::streamsize>(text.size()))
            noteFailure();
        return !failed();
    }

    void noteFailure()
    {
        if (failure == 0)
            failure = errno != 0 ? errno : EIO;
    }

    std::streambuf* target;
    const char* name;
    std::string pending;
    int failure = 0;
};

EscapingBuffer* outputBuffer = nullptr;
EscapingBuffer* errorBuffer = nullptr;

bool failedAfterFlush(std::ostream& stream, EscapingBuffer* buffer)
{
    const int saved = errno;
    errno = 0;
    if (buffer != nullptr)
        buffer->drain();
    stream.flush();
    errno = saved;
    return buffer != nullptr ? buffer->failed() : stream.bad();
}
} // namespace

void installTerminalOutput()
{
    // Never destroyed: the streams use them until after the last static
    // object has gone (the library flushes std::cout at its very end).
    outputBuffer = new EscapingBuffer(std::cout.rdbuf(), "standard output");
    errorBuffer = new EscapingBuffer(std::cerr.rdbuf(), "standard error");
    std::cout.rdbuf(outputBuffer);
    std::cerr.rdbuf(errorBuffer);
}

void writeUnescaped(std::ostream& stream, const std::string& text)
{
    if (auto* buffer = dynamic_cast<EscapingBuffer*>(stream.rdbuf()))
        buffer->writeRaw(text);
    else
        stream << text;
}

bool outputFailed()
{
    return failedAfterFlush(std::cout, outputBuffer);
}

bool errorOutputFailed()
{
    return failedAfterFlush(std::cerr, errorBuffer);
}

std::string outputFailure()
{
    if (outputBuffer != nullptr && outputBuffer->failed())
        return outputBuffer->why();
    if (errorBuffer != nullptr && errorBuffer->failed())
        return errorBuffer->why();
    return "the output was closed";
}

} // namespace kestra::cli
