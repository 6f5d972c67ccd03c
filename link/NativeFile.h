#pragma once

// Files as the system names and keeps them, for the files a user names (the
// command line, a file chooser, a drop) and the editor's own (the settings,
// the snapshots).
//
// Names. On Linux a file name is bytes, not text: "Kl\xE4nge.tkp" (Latin-1)
// is a valid name that is not UTF-8. JUCE keeps paths as UTF-8 text, and
// decoding such bytes turns them into another name, or reads past the end of
// the text. The editor therefore carries a path through JUCE as valid UTF-8,
// each byte of an invalid sequence written as one character U+DC80 + (byte -
// 0x80) (model/SafeText.h), and every call that reaches the file system here
// turns the path back into its bytes, so that the name arrives byte for byte.
// Such names are shown escaped ("Kl\xE4nge.tkp"), never as another name.
// Windows names files in UTF-16, which JUCE keeps as it is: there the calls
// are JUCE's own.
//
// Kinds. Only a regular file is ever opened for reading. A FIFO, a device, a
// socket or a folder is refused by what stat() says before anything opens it
// (opening a FIFO blocks until a writer comes), and the file is opened without
// blocking in any case, then checked again.
//
// Writing. A file is replaced whole or not at all: written beside, flushed to
// the disk, moved over the old one. A new file can be created exclusively:
// never over one that exists, which is how several processes share a folder.
//
// juce_core only; any thread.

#include <juce_core/juce_core.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::nativefile
{

// ---- names -------------------------------------------------------------------------------

// A path or name the system gave as bytes, as the editor carries it.
juce::String textFromBytes(std::string_view bytes);
// The bytes the system knows a path by (the inverse of textFromBytes; a
// path that holds raw bytes JUCE left undecoded keeps them as they are).
std::string bytesOf(const juce::String& path);
juce::File fileFromBytes(std::string_view path);
// The current folder, and a path given on a command line, relative to it or absolute.
juce::File currentFolder();
juce::File fileFromArgument(std::string_view argument);
// A file that JUCE produced (a chooser's result, a drop): its path as the
// editor carries it, so that every later step keeps its bytes.
juce::File carried(const juce::File& file);
// A path or name for a window or a terminal: invalid bytes and control
// characters escaped (model/SafeText.h).
std::string shownPath(const juce::File& file);
std::string shownName(const juce::File& file);

// ---- kinds -------------------------------------------------------------------------------

enum class Kind
{
    missing, // nothing of that name (or a folder on the way is missing)
    regular, // a regular file, or a link to one
    folder,
    other, // a FIFO, a device, a socket; a link loop; no permission to look
};
// What the path names, from stat(): nothing is opened.
Kind kindOf(const juce::File& file);

// ---- reading -----------------------------------------------------------------------------

struct Contents
{
    bool read = false;          // false: missing, not a regular file, or a failed read
    std::vector<uint8_t> bytes; // at most the bytes asked for
    uint64_t size = 0;          // the whole file's size
};
// The first maxBytes bytes of a regular file (all of it when it is smaller).
Contents readRegular(const juce::File& file, size_t maxBytes);

// ---- writing -----------------------------------------------------------------------------

// Writes the bytes beside the target, flushes them to the disk and moves them
// over it. A target that exists and is not a regular file is left alone.
bool replaceWith(const juce::File& target, const void* data, size_t size);
// Creates the file with these bytes, only if nothing of that name exists.
// A file that could not be written whole is removed again.
enum class Created
{
    created,
    exists, // the name is taken
    failed, // no folder, no permission, the disk full
};
Created createExclusively(const juce::File& file, const void* data, size_t size);
bool removeFile(const juce::File& file);
// The folder and any missing folders above it; true when it is a folder now.
bool makeFolder(const juce::File& folder);
// Moves the file into `folder` (made when missing) under its own name, or
// with "-2", "-3" ... before its extension when that is taken. The new
// place, or nothing when it could not be moved.
std::optional<juce::File> moveAside(const juce::File& file, const juce::File& folder);
// The names of the entries in a folder, as bytes ("." and ".." left out).
std::vector<std::string> namesIn(const juce::File& folder);
std::optional<juce::Time> modificationTime(const juce::File& file);

// ---- one process at a time ----------------------------------------------------------------

// An advisory lock on a lock file: while one object holds it, no other (in
// this process or another) does. Waits up to `timeoutMs` for it; held() says
// whether it was taken. The lock file stays; only the lock goes.
class FileLock final
{
public:
    FileLock(const juce::File& lockFile, int timeoutMs);
    ~FileLock();
    bool held() const { return handle != invalid; }

private:
    static constexpr intptr_t invalid = -1;
    intptr_t handle = invalid;

    JUCE_DECLARE_NON_COPYABLE(FileLock)
};

} // namespace kestra::nativefile
