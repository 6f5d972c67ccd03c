#include "link/NativeFile.h"

#include "model/SafeText.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#if JUCE_WINDOWS
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestra::nativefile
{

namespace
{
constexpr char32_t firstEscapedByte = 0xDC80;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The raw UTF-8 bytes JUCE holds, never decoded on the way.
std::string_view rawBytes(const juce::String& text)
{
    const char* raw = text.toRawUTF8();
    return {raw, std::strlen(raw)};
}

// The file's name with "-n" before its extension.
juce::String numberedName(const juce::String& name, int n)
{
    const int dot = name.lastIndexOfChar('.');
    if (dot <= 0)
        return name + "-" + juce::String(n);
    return name.substring(0, dot) + "-" + juce::String(n) + name.substring(dot);
}
} // namespace

// ---- names -------------------------------------------------------------------------------

juce::String textFromBytes(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty())
    {
        const auto c = safetext::firstCharacter(bytes);
        // A character that stands for a byte is itself written as bytes, so
        // that no two names are carried alike.
        if (c.length == 0 || safetext::escapedByte(c.codePoint) >= 0)
        {
            const auto length = c.length == 0 ? size_t{1} : c.length;
            for (size_t i = 0; i < length; ++i)
            {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                if (byte < 0x80)
                    text += static_cast<char>(byte);
                else
                    appendUtf8(text, firstEscapedByte + (byte - 0x80u));
            }
            bytes.remove_prefix(length);
            continue;
        }
        text.append(bytes.data(), c.length);
        bytes.remove_prefix(c.length);
    }
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}

std::string bytesOf(const juce::String& path)
{
#if JUCE_WINDOWS
    return path.toStdString();
#else
    auto raw = rawBytes(path);
    std::string bytes;
    bytes.reserve(raw.size());
    while (!raw.empty())
    {
        const auto c = safetext::firstCharacter(raw);
        if (c.length == 0)
        {
            bytes += raw.front(); // a raw byte JUCE kept: as it is
            raw.remove_prefix(1);
            continue;
        }
        if (const int byte = safetext::escapedByte(c.codePoint); byte >= 0)
            bytes += static_cast<char>(byte);
        else
            bytes.append(raw.data(), c.length);
        raw.remove_prefix(c.length);
    }
    return bytes;
#endif
}

juce::File fileFromBytes(std::string_view path)
{
    return juce::File(textFromBytes(path));
}

juce::File currentFolder()
{
#if JUCE_WINDOWS
    return juce::File::getCurrentWorkingDirectory();
#else
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr)
    {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return juce::File::getCurrentWorkingDirectory();
        buffer.resize(buffer.size() * 2);
    }
    return fileFromBytes(buffer.data());
#endif
}

juce::File fileFromArgument(std::string_view argument)
{
#if JUCE_WINDOWS
    return juce::File::getCurrentWorkingDirectory().getChildFile(
        juce::String::fromUTF8(argument.data(), static_cast<int>(argument.size())));
#else
    if (!argument.empty() && argument.front() == '/')
        return fileFromBytes(argument);
    return currentFolder().getChildFile(textFromBytes(argument));
#endif
}

juce::File carried(const juce::File& file)
{
#if JUCE_WINDOWS
    return file;
#else
    if (file == juce::File())
        return file;
    return fileFromBytes(bytesOf(file.getFullPathName()));
#endif
}

std::string shownPath(const juce::File& file)
{
    return safetext::forDisplay(rawBytes(carried(file).getFullPathName()));
}

std::string shownName(const juce::File& file)
{
    return safetext::forDisplay(rawBytes(carried(file).getFileName()));
}

// ---- kinds, reading and writing: POSIX --------------------------------------------------------

#if !JUCE_WINDOWS

namespace
{
std::string pathOf(const juce::File& file)
{
    return bytesOf(file.getFullPathName());
}

bool writeAll(int fd, const void* data, size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0)
    {
        const auto written = ::write(fd, p, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Writes, flushes to the disk and closes; false (and closed) on any failure.
bool writeAndClose(int fd, const void* data, size_t size)
{
    const bool written = writeAll(fd, data, size) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

Kind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::regular;
    if (S_ISDIR(mode))
        return Kind::folder;
    return Kind::other;
}
} // namespace

Kind kindOf(const juce::File& file)
{
    struct stat info;
    if (::stat(pathOf(file).c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Kind::missing : Kind::other;
    return kindOfMode(info.st_mode);
}

Contents readRegular(const juce::File& file, size_t maxBytes)
{
    Contents contents;
    const auto path = pathOf(file);
    if (kindOf(file) != Kind::regular)
        return contents;
    // Never blocking, even if the name was replaced by a FIFO meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return contents;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        return contents;
    }
    // Read to its end, whatever stat() said its size is (files under /proc
    // say 0), and one byte more than asked for, to know there is more.
    const size_t wanted = maxBytes + 1;
    const auto statSize = static_cast<uint64_t>(std::max<off_t>(0, info.st_size));
    contents.bytes.resize(static_cast<size_t>(std::min<uint64_t>(statSize + 1, wanted)));
    size_t got = 0;
    bool failed = false;
    while (got < wanted)
    {
        if (got == contents.bytes.size())
            contents.bytes.resize(std::min(wanted, std::max<size_t>(4096, got * 2)));
        const auto n = ::read(fd, contents.bytes.data() + got, contents.bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failed = true;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    contents.size = std::max<uint64_t>(statSize, got);
    contents.bytes.resize(std::min(got, maxBytes));
    contents.read = !failed;
    return contents;
}

bool replaceWith(const juce::File& target, const void* data, size_t size)
{
    const auto kind = kindOf(target);
    if (kind != Kind::missing && kind != Kind::regular)
        return false;
    const auto path = pathOf(target);
    const auto slash = path.rfind('/');
    const auto folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const auto name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Hidden beside the target, named by this process and a count of its
    // own, so that no two writers (threads or processes) share one.
    static std::atomic<unsigned> written{0};
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const auto temporary = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                               std::to_string(written.fetch_add(1)) + ".tmp";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return false;
        if (!writeAndClose(fd, data, size) || ::rename(temporary.c_str(), path.c_str()) != 0)
        {
            ::unlink(temporary.c_str());
            return false;
        }
        return true;
    }
    return false;
}

Created createExclusively(const juce::File& file, const void* data, size_t size)
{
    const auto path = pathOf(file);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? Created::exists : Created::failed;
    if (!writeAndClose(fd, data, size))
    {
        ::unlink(path.c_str());
        return Created::failed;
    }
    return Created::created;
}

bool removeFile(const juce::File& file)
{
    return ::unlink(pathOf(file).c_str()) == 0 || errno == ENOENT;
}

bool makeFolder(const juce::File& folder)
{
    const auto kind = kindOf(folder);
    if (kind == Kind::folder)
        return true;
    if (kind != Kind::missing)
        return false;
    const auto parent = folder.getParentDirectory();
    if (parent != folder && !makeFolder(parent))
        return false;
    return ::mkdir(pathOf(folder).c_str(), 0755) == 0 || kindOf(folder) == Kind::folder;
}

std::optional<juce::File> moveAside(const juce::File& file, const juce::File& folder)
{
    if (!makeFolder(folder))
        return std::nullopt;
    const auto name = file.getFileName();
    for (int n = 1; n < 1000; ++n)
    {
        const auto target = folder.getChildFile(n == 1 ? name : numberedName(name, n));
        struct stat info;
        if (::lstat(pathOf(target).c_str(), &info) == 0)
            continue;
        if (::rename(pathOf(file).c_str(), pathOf(target).c_str()) != 0)
            return std::nullopt;
        return target;
    }
    return std::nullopt;
}

std::vector<std::string> namesIn(const juce::File& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(pathOf(folder).c_str());
    if (dir == nullptr)
        return names;
    while (const auto* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<juce::Time> modificationTime(const juce::File& file)
{
    struct stat info;
    if (::stat(pathOf(file).c_str(), &info) != 0)
        return std::nullopt;
    return juce::Time(static_cast<juce::int64>(info.st_mtime) * 1000);
}

FileLock::FileLock(const juce::File& lockFile, int timeoutMs)
{
    const int fd = ::open(pathOf(lockFile).c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0)
        return;
    // flock() locks belong to the open file, so that two objects of one
    // process exclude each other as two processes do.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
        {
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    handle = fd;
}

FileLock::~FileLock()
{
    if (held())
        ::close(static_cast<int>(handle)); // closing the file ends the lock
}

#else // ---- Windows: JUCE's files; the lock with LockFileEx --------------------------------------

Kind kindOf(const juce::File& file)
{
    if (file.isDirectory())
        return Kind::folder;
    if (file.existsAsFile())
        return Kind::regular;
    return file.exists() ? Kind::other : Kind::missing;
}

Contents readRegular(const juce::File& file, size_t maxBytes)
{
    Contents contents;
    if (kindOf(file) != Kind::regular)
        return contents;
    juce::FileInputStream in(file);
    if (!in.openedOk())
        return contents;
    contents.size = static_cast<uint64_t>(std::max<juce::int64>(0, in.getTotalLength()));
    juce::MemoryBlock block;
    in.readIntoMemoryBlock(block,
                           static_cast<ssize_t>(std::min<uint64_t>(contents.size, maxBytes)));
    const auto* bytes = static_cast<const uint8_t*>(block.getData());
    contents.bytes.assign(bytes, bytes + block.getSize());
    contents.read = !in.getStatus().failed();
    return contents;
}

bool replaceWith(const juce::File& target, const void* data, size_t size)
{
    const auto kind = kindOf(target);
    if (kind != Kind::missing && kind != Kind::regular)
        return false;
    const juce::TemporaryFile temporary(target, juce::TemporaryFile::useHiddenFile);
    {
        juce::FileOutputStream out(temporary.getFile());
        if (out.failedToOpen() || !out.write(data, size))
            return false;
        out.flush();
        if (out.getStatus().failed())
            return false;
    }
    return temporary.getFile().getSize() == static_cast<juce::int64>(size) &&
           temporary.overwriteTargetFileWithTemporary();
}

Created createExclusively(const juce::File& file, const void* data, size_t size)
{
    const int fd = ::_wopen(file.getFullPathName().toWideCharPointer(),
                            _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return errno == EEXIST ? Created::exists : Created::failed;
    const bool written =
        ::_write(fd, data, static_cast<unsigned>(size)) == static_cast<int>(size) &&
        ::_commit(fd) == 0;
    if (::_close(fd) != 0 || !written)
    {
        file.deleteFile();
        return Created::failed;
    }
    return Created::created;
}

bool removeFile(const juce::File& file)
{
    return file.deleteFile();
}

bool makeFolder(const juce::File& folder)
{
    return folder.isDirectory() || (!folder.exists() && folder.createDirectory().wasOk());
}

std::optional<juce::File> moveAside(const juce::File& file, const juce::File& folder)
{
    if (!makeFolder(folder))
        return std::nullopt;
    const auto name = file.getFileName();
    for (int n = 1; n < 1000; ++n)
    {
        const auto target = folder.getChildFile(n == 1 ? name : numberedName(name, n));
        if (target.exists())
            continue;
        if (!file.moveFileTo(target))
            return std::nullopt;
        return target;
    }
    return std::nullopt;
}

std::vector<std::string> namesIn(const juce::File& folder)
{
    std::vector<std::string> names;
    for (const auto& entry :
         juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFilesAndDirectories))
        names.push_back(entry.getFile().getFileName().toStdString());
    return names;
}

std::optional<juce::Time> modificationTime(const juce::File& file)
{
    if (!file.exists())
        return std::nullopt;
    return file.getLastModificationTime();
}

FileLock::FileLock(const juce::File& lockFile, int timeoutMs)
{
    const HANDLE file =
        ::CreateFileW(lockFile.getFullPathName().toWideCharPointer(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        OVERLAPPED whole{};
        if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                         &whole))
            break;
        if (std::chrono::steady_clock::now() > deadline)
        {
            ::CloseHandle(file);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    handle = reinterpret_cast<intptr_t>(file);
}

FileLock::~FileLock()
{
    if (held())
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

#endif

} // namespace kestra::nativefile
