// Files as the system names and keeps them (link/NativeFile.h), XML read
// without trusting it (link/SafeXml.h), and the settings file checked before
// JUCE reads it (link/SettingsFile.h), on real files in a temporary folder.

#include "support/FakeDialogs.h"
#include "support/FakeLinkTimers.h"
#include "support/MessageLoop.h"

#include "editor/Editor.h"
#include "editor/MessageTexts.h"
#include "link/NativeFile.h"
#include "link/SafeXml.h"
#include "link/SettingsFile.h"
#include "link/VirtualMidiServices.h"
#include "model/SafeText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#if !JUCE_WINDOWS
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kestra;
using namespace kestra::testing;
using namespace std::chrono_literals;

namespace
{
struct TemporaryFolder
{
    TemporaryFolder()
    {
        folder.deleteRecursively();
        folder.createDirectory();
    }
    ~TemporaryFolder() { folder.deleteRecursively(); }
    juce::File folder = juce::File::createTempFile("kestra-native");
};
} // namespace

#if !JUCE_WINDOWS
// A path the system gives as bytes comes back as the same bytes, whatever
// they are; valid UTF-8 is carried as it is. (Windows names files in UTF-16.)
TEST(NativeFile, NamesAreCarriedByteForByte)
{
    const std::string names[] = {
        "plain.tkp",
        "Kl\xC3\xA4nge.tkp", // UTF-8
        "Kl\xE4nge.tkp",     // Latin-1: no UTF-8
        "a\x80"
        "bcdef.tkp",                  // a lone continuation byte
        "\xC0\xE0\xF0\xF8\xFF.tkp",   // lead bytes with nothing after them
        "Kl\xED\xB3\xA4nge.tkp",      // what looks like a carried byte is bytes too
        "\xF0\x9F\x8E\xB9 organ.tkp", // beyond the BMP
    };
    for (const auto& name : names)
    {
        SCOPED_TRACE(safetext::forDisplay(name));
        const auto carried = nativefile::textFromBytes(name);
        EXPECT_TRUE(juce::CharPointer_UTF8::isValidString(carried.toRawUTF8(), 1 << 20));
        EXPECT_EQ(nativefile::bytesOf(carried), name);
        const auto file = nativefile::fileFromBytes("/tmp/" + name);
        EXPECT_EQ(nativefile::bytesOf(file.getFileName()), name);
        EXPECT_EQ(nativefile::bytesOf(file.getFullPathName()), "/tmp/" + name);
    }
    EXPECT_EQ(nativefile::shownName(nativefile::fileFromBytes("/tmp/Kl\xE4nge.tkp")),
              "Kl\\xE4nge.tkp");
    EXPECT_EQ(nativefile::shownName(nativefile::fileFromBytes("/tmp/a\x1B[2Jb")), "a\\x1B[2Jb");
}

// Only a regular file is ever opened: anything else is known by stat()
// alone, and nothing waits, not even for a FIFO that no one writes to.
TEST(NativeFile, OnlyRegularFilesAreReadAndNothingWaits)
{
    TemporaryFolder temporary;
    const auto& folder = temporary.folder;
    const auto path = [&](const char* name)
    { return folder.getChildFile(name).getFullPathName().toStdString(); };
    ASSERT_TRUE(folder.getChildFile("regular").replaceWithText("abc"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", path("device").c_str()), 0);
    ASSERT_EQ(::symlink(path("loop").c_str(), path("loop").c_str()), 0);
    ASSERT_EQ(::symlink(path("regular").c_str(), path("link").c_str()), 0);
    ASSERT_TRUE(folder.getChildFile("folder").createDirectory());

    struct Case
    {
        const char* name;
        nativefile::Kind kind;
        bool read;
    };
    const Case cases[] = {
        {"regular", nativefile::Kind::regular, true},  {"link", nativefile::Kind::regular, true},
        {"fifo", nativefile::Kind::other, false},      {"device", nativefile::Kind::other, false},
        {"loop", nativefile::Kind::other, false},      {"folder", nativefile::Kind::folder, false},
        {"missing", nativefile::Kind::missing, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto file = folder.getChildFile(c.name);
        EXPECT_EQ(nativefile::kindOf(file), c.kind);
        const auto started = std::chrono::steady_clock::now();
        const auto contents = nativefile::readRegular(file, 10);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
        EXPECT_EQ(contents.read, c.read);
        EXPECT_EQ(nativefile::replaceWith(file, "x", 1),
                  c.kind == nativefile::Kind::regular || c.kind == nativefile::Kind::missing);
    }
    // Read to its end and a byte beyond what was asked for: its size is known.
    ASSERT_TRUE(folder.getChildFile("regular").replaceWithText("0123456789abc"));
    const auto head = nativefile::readRegular(folder.getChildFile("regular"), 4);
    EXPECT_EQ(std::string(head.bytes.begin(), head.bytes.end()), "0123");
    EXPECT_EQ(head.size, 13u);
}
#endif

TEST(NativeFile, ANewFileNeverTakesTheNameOfOneThatExists)
{
    TemporaryFolder temporary;
    const auto file = temporary.folder.getChildFile("snapshot-1.tkp");
    EXPECT_EQ(nativefile::createExclusively(file, "one", 3), nativefile::Created::created);
    EXPECT_EQ(nativefile::createExclusively(file, "two", 3), nativefile::Created::exists);
    EXPECT_EQ(file.loadFileAsString(), "one");
    EXPECT_EQ(nativefile::createExclusively(temporary.folder.getChildFile("no/such/file"), "x", 1),
              nativefile::Created::failed);

    // Moved aside under its own name, then numbered: nothing set aside is overwritten.
    const auto aside = temporary.folder.getChildFile("Damaged");
    for (const char* expected : {"snapshot-1.tkp", "snapshot-1-2.tkp", "snapshot-1-3.tkp"})
    {
        ASSERT_TRUE(file.replaceWithText(expected));
        const auto moved = nativefile::moveAside(file, aside);
        ASSERT_TRUE(moved.has_value());
        EXPECT_EQ(moved->getFileName(), expected);
        EXPECT_EQ(moved->loadFileAsString(), expected);
        EXPECT_FALSE(file.exists());
    }
}

// One lock file, two holders: the second waits for the first, in this
// process as between processes, and gives up when it waits too long.
TEST(NativeFile, ALockIsHeldByOneAtATime)
{
    TemporaryFolder temporary;
    const auto lockFile = temporary.folder.getChildFile(".lock");
    auto first = std::make_unique<nativefile::FileLock>(lockFile, 1000);
    ASSERT_TRUE(first->held());
    EXPECT_FALSE(nativefile::FileLock(lockFile, 50).held());
    std::thread release(
        [&first]
        {
            std::this_thread::sleep_for(100ms);
            first.reset();
        });
    const nativefile::FileLock second(lockFile, 10000);
    release.join();
    EXPECT_TRUE(second.held());
    EXPECT_FALSE(nativefile::FileLock(temporary.folder.getChildFile("no/such/.lock"), 10).held());
}

TEST(SafeXml, ATextIsParsedOnlyWhenItIsSafeTo)
{
    EXPECT_NE(
        safexml::parse("<PROPERTIES><VALUE name=\"a\" val=\"1\"/></PROPERTIES>", "PROPERTIES"),
        nullptr);
    EXPECT_EQ(safexml::parse("<OTHER/>", "PROPERTIES"), nullptr);
    EXPECT_EQ(safexml::parse("<PROPERTIES a=\"\xE4\"/>", "PROPERTIES"), nullptr); // not UTF-8
    std::string deep;
    for (int k = 0; k < 100000; ++k)
        deep += "<PROPERTIES>";
    EXPECT_EQ(safexml::parse(deep, "PROPERTIES"), nullptr);
}

// A settings file that JUCE could not read safely is moved aside before any
// part reads it; the editor starts with its defaults and says so once.
TEST(SettingsFile, ADamagedFileIsPutAsideAndSaidOnce)
{
    struct Case
    {
        const char* what;
        std::function<void(const juce::File&)> damage;
    };
    const Case cases[] = {
        {"nested 100,000 deep",
         [](const juce::File& file)
         {
             std::string deep;
             for (int k = 0; k < 100000; ++k)
                 deep += "<PROPERTIES>";
             file.replaceWithData(deep.data(), deep.size());
         }},
        {"not XML", [](const juce::File& file) { file.replaceWithText("garbage"); }},
        {"a folder", [](const juce::File& file) { file.createDirectory(); }},
        {"larger than any settings",
         [](const juce::File& file)
         {
             file.replaceWithText("<PROPERTIES>" + juce::String::repeatedString(" ", 2 << 20) +
                                  "</PROPERTIES>");
         }},
    };
    const auto folder = settingsFolder();
    const auto settings = folder.getChildFile("Kestra Editor.settings");
    const auto aside = folder.getChildFile("Damaged");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        aside.deleteRecursively();
        settings.deleteRecursively();
        folder.createDirectory();
        c.damage(settings);

        FakeDialogs dialogs;
        FakeLinkTimers timers;
        const auto snapshots = juce::File::createTempFile("kestra-settings-snapshots");
        {
            Editor editor(std::make_unique<VirtualMidiServices>(), dialogs, &timers, nullptr,
                          snapshots);
            pumpFor(50ms);
            EXPECT_EQ(dialogs.texts(), std::vector<std::string>{texts::settingsSetAside});
            EXPECT_TRUE(aside.getChildFile("Kestra Editor.settings").exists());
            // The defaults, and a file the parts can write again.
            juce::PropertiesFile properties(settingsFileOptions());
            properties.setValue("Test", 1);
            EXPECT_TRUE(properties.save());
        }
        {
            Editor editor(std::make_unique<VirtualMidiServices>(), dialogs, &timers, nullptr,
                          snapshots);
            pumpFor(50ms);
            EXPECT_EQ(dialogs.texts().size(), 1u); // said once
        }
        snapshots.deleteRecursively();
    }
    aside.deleteRecursively();
    settings.deleteFile();
}
