// The project and tonewheel file commands, headless on real files in a
// temporary folder: what is read and refused with which notice, where the
// file dialogs start next, what goes into the record, and what an opening or
// a load starts on a connected link (the send, the upload). The window is a
// recording view.

#include "files/ProjectFile.h"
#include "files/ProjectFileController.h"
#include "files/TonewheelFileController.h"
#include "link/NativeFile.h"
#include "support/ControllerRig.h"

#include <gtest/gtest.h>

#include <cstring>

#if !JUCE_WINDOWS
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kestra;
using kestra::testing::Bytes;
using kestra::testing::ControllerRig;
using kestra::testing::Lines;

namespace
{
// What a user may name instead of a file, by the name's start: a FIFO
// ("fifo..."), a device ("device...", a link to /dev/zero), a link to itself ("loop...").
void makeSpecialFile(const juce::File& file)
{
#if JUCE_WINDOWS
    ADD_FAILURE() << "no special files here: " << file.getFullPathName();
#else
    const auto path = file.getFullPathName().toStdString();
    const auto name = file.getFileName();
    if (name.startsWith("fifo"))
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    else if (name.startsWith("device"))
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    else
        ASSERT_EQ(::symlink(path.c_str(), path.c_str()), 0);
#endif
}

std::string noticeLine(FileNotice notice)
{
    return "notice " + std::to_string(static_cast<int>(notice));
}

struct FileRig : ControllerRig,
                 ProjectFileController::View,
                 TonewheelFileController::View,
                 ProjectSendController::View,
                 TonewheelUploadController::View
{
    FileRig()
    {
        // A folder of its own: the tests of this file run in parallel processes.
        folder = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getChildFile("kestra-file-controllers-" + juce::Uuid().toString());
        folder.createDirectory();
        lastFolder = folder.getParentDirectory();
    }
    ~FileRig() override
    {
        send.shutDown();
        folder.deleteRecursively();
    }

    juce::File write(const juce::String& name, const void* data, size_t size)
    {
        auto file = folder.getChildFile(name);
        file.getParentDirectory().createDirectory();
        file.replaceWithData(data, size);
        return file;
    }
    juce::File writeProject(const juce::String& name, const ProjectRecord& record)
    {
        const auto image = projectfile::toImage(record);
        return write(name, image.data(), image.size());
    }
    juce::File writeTonewheel(const juce::String& name, size_t dataSize,
                              uint32_t magic = projectMagic)
    {
        Bytes image(64 + dataSize, 0x11);
        std::memcpy(image.data(), &magic, 4); // little-endian, as the machines here are
        return write(name, image.data(), image.size());
    }

    // ---- the views ----
    void showFileNotice(FileNotice notice) override { view.push_back(noticeLine(notice)); }
    void showOpenedProject(bool modelChanged) override
    {
        view.push_back(modelChanged ? "shown, new model" : "shown");
    }
    void projectOpened(const ProjectRecord&, const ProjectRecord&) override
    {
        view.push_back("history");
    }
    void askTonewheelReplacement(const std::string& slotName,
                                 std::function<void(bool)> onAnswer) override
    {
        view.push_back("question " + slotName);
        if (duringQuestion)
            std::exchange(duringQuestion, nullptr)();
        onAnswer(answer);
    }
    void showTransmissionBox() override { view.push_back("send box"); }
    void closeTransmissionBox() override { view.push_back("send box closed"); }
    void showTransferBox() override { view.push_back("upload box"); }
    bool isTransferBoxShown() const override { return true; }
    void showBytesRemaining(int32_t) override {}
    void showProgress(double) override {}
    void closeTransferBox() override {}
    void showTransferErrorBox(int, std::function<void()>) override {}
    void showTransferCancelled() override {}

    struct Clock final : projectfile::PacingClock
    {
        double nowMs() override { return 0.0; }
        void waitUntil(double, std::unique_lock<std::mutex>&, std::condition_variable&,
                       const bool&) override
        {
        }
    } clock;

    juce::File folder;
    juce::File lastFolder;
    Lines view;
    bool answer = true;
    std::function<void()> duringQuestion;
    ProjectSendController send{link, *this, supervisor, timers, *this, clock};
    TonewheelUploadController upload{link, *this, supervisor, *this, *this};
    ProjectFileController projects{link, supervisor, send, *this, lastFolder};
    TonewheelFileController tonewheels{link, supervisor, upload, *this, lastFolder};
};

ProjectRecord aProject(int model)
{
    auto record = ProjectRecord::initial();
    record.modelIndex = model;
    record.parameterValues[3] = 0.25f;
    return record;
}

bool sameRecord(const ProjectRecord& a, const ProjectRecord& b)
{
    return projectfile::toImage(a) == projectfile::toImage(b);
}
} // namespace

// ---- project files ----------------------------------------------------------------------------

TEST(ProjectFileController, ASavedProjectOpensAgainWhole)
{
    FileRig rig;
    rig.link.setRecord(aProject(2));
    const auto file = rig.folder.getChildFile("song.tkp");
    const auto folderBefore = rig.lastFolder;
    rig.projects.saveTo(file);
    EXPECT_TRUE(rig.view.empty());
    EXPECT_EQ(rig.lastFolder, folderBefore) << "saving never moves it";
    juce::MemoryBlock written;
    ASSERT_TRUE(file.loadFileAsData(written));
    const auto image = projectfile::toImage(aProject(2));
    ASSERT_EQ(written.getSize(), image.size());
    EXPECT_EQ(std::memcmp(written.getData(), image.data(), image.size()), 0);

    rig.link.setRecord(ProjectRecord::initial());
    rig.projects.openFrom(file);
    EXPECT_TRUE(sameRecord(rig.link.record(), aProject(2)));
    EXPECT_EQ(rig.view, (Lines{"shown, new model", "history"}));
    EXPECT_EQ(rig.lastFolder, rig.folder);
    EXPECT_FALSE(rig.timers.isRunning(BulkSendTimer)) << "nothing to send to while not connected";
}

#if !JUCE_WINDOWS
// A name that is not UTF-8 (Latin-1 here) is the name of another file than
// its decoded text: the file is opened and written under its own bytes.
TEST(ProjectFileController, AFileIsOpenedAndSavedUnderTheBytesOfItsName)
{
    FileRig rig;
    const std::string folder = rig.folder.getFullPathName().toStdString();
    const auto latin1 = nativefile::fileFromBytes(folder + "/Kl\xE4nge.tkp");
    rig.link.setRecord(aProject(2));
    rig.projects.saveTo(latin1);
    EXPECT_TRUE(rig.view.empty());
    const auto names = nativefile::namesIn(rig.folder);
    EXPECT_EQ(names, std::vector<std::string>{"Kl\xE4nge.tkp"});

    rig.link.setRecord(ProjectRecord::initial());
    rig.projects.openFrom(latin1);
    EXPECT_TRUE(sameRecord(rig.link.record(), aProject(2)));
    EXPECT_EQ(nativefile::shownName(latin1), "Kl\\xE4nge.tkp");
}
#endif

TEST(ProjectFileController, AProjectThatCannotBeWrittenSaysSoAndLeavesTheFileThere)
{
    FileRig rig;
    const auto folderNamed = rig.folder.getChildFile("taken.tkp");
    folderNamed.createDirectory();
    rig.projects.saveTo(folderNamed);
    EXPECT_EQ(rig.view, Lines{noticeLine(FileNotice::notSaved)});
    EXPECT_TRUE(folderNamed.isDirectory());
}

TEST(ProjectFileController, RefusedFilesChangeNothingButWhereTheDialogStarts)
{
    enum class Make
    {
        file,             // the contents, written
        nothing,          // no file of that name
        folder,           // a folder of that name
        failing,          // a file whose read fails (a link to /proc/self/mem: EIO from its start)
        unreadableByMode, // the contents, with no read permission
        special,          // not a regular file: a FIFO, a device, a link loop (never opened)
    };
    struct Case
    {
        const char* name;
        Make make;
        Bytes contents;
        FileNotice notice;
        bool folderMoves;
    };
    const auto good = projectfile::toImage(aProject(1));
    Bytes wrongMagic(good.begin(), good.end());
    wrongMagic[0] ^= 0xFF;
    const Bytes goodBytes(good.begin(), good.end());
    // Read: the contents fail the checks. Not read: nothing is known of them.
    std::vector<Case> cases = {
        {"song.txt", Make::file, goodBytes, FileNotice::notValid, false},
        {"missing.tkp", Make::nothing, {}, FileNotice::notValid, true},
        {"folder.tkp", Make::folder, {}, FileNotice::notValid, true},
        {"empty.tkp", Make::file, {}, FileNotice::corrupted, true},
        {"short.tkp", Make::file, Bytes(good.begin(), good.begin() + 415), FileNotice::corrupted,
         true},
        {"magic.tkp", Make::file, wrongMagic, FileNotice::corrupted, true},
    };
#if !JUCE_WINDOWS
    if (juce::File("/proc/self/mem").existsAsFile())
        cases.push_back({"failing.tkp", Make::failing, {}, FileNotice::notValid, true});
    cases.push_back({"locked.tkp", Make::unreadableByMode, goodBytes, FileNotice::notValid, true});
    for (const char* special : {"fifo.tkp", "device.tkp", "loop.tkp"})
        cases.push_back({special, Make::special, {}, FileNotice::notValid, true});
#endif
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FileRig rig;
        auto file = rig.folder.getChildFile(c.name);
        switch (c.make)
        {
        case Make::file:
        case Make::unreadableByMode:
            if (c.contents.empty())
                ASSERT_TRUE(file.create().wasOk()); // (writing no bytes deletes the file)
            else
                file = rig.write(c.name, c.contents.data(), c.contents.size());
            break;
        case Make::nothing:
            break;
        case Make::folder:
            file.createDirectory();
            break;
        case Make::failing:
            ASSERT_TRUE(juce::File("/proc/self/mem").createSymbolicLink(file, false));
            break;
        case Make::special:
            makeSpecialFile(file);
            break;
        }
        const auto before = rig.link.record();
        const auto folderBefore = rig.lastFolder;
#if !JUCE_WINDOWS
        if (c.make == Make::unreadableByMode)
        {
            ASSERT_EQ(::chmod(file.getFullPathName().toRawUTF8(), 0), 0);
            // Root reads it all the same: then it is a good project and opens.
            if (::access(file.getFullPathName().toRawUTF8(), R_OK) == 0)
            {
                rig.projects.openFrom(file);
                EXPECT_TRUE(sameRecord(rig.link.record(), aProject(1))) << "read despite its mode";
                continue;
            }
        }
#endif
        rig.projects.openFrom(file);
        EXPECT_EQ(rig.view, Lines{noticeLine(c.notice)});
        EXPECT_TRUE(sameRecord(rig.link.record(), before));
        EXPECT_EQ(rig.lastFolder, c.folderMoves ? rig.folder : folderBefore);
    }
}

TEST(ProjectFileController, AnOpeningWhileConnectedKeepsTheInstrumentsModelAndSendsTheProject)
{
    FileRig rig;
    rig.connectAndLoad();
    const int model = rig.link.record().modelIndex;
    rig.projects.openFrom(rig.writeProject("other.tkp", aProject(model == 2 ? 1 : 2)));
    EXPECT_EQ(rig.link.record().modelIndex, model);
    EXPECT_FLOAT_EQ(rig.link.record().parameterValues[3], 0.25f);
    EXPECT_EQ(rig.view, (Lines{"send box", "shown", "history"}));
    EXPECT_EQ(rig.timers.remaining(BulkSendTimer), 200);
}

// ---- tonewheel files --------------------------------------------------------------------------

TEST(TonewheelFileController, NothingHappensWithoutALinkOrForASlotThatTakesNoTonewheel)
{
    FileRig rig;
    const auto file = rig.writeTonewheel("wheel.ktw", 100);
    const auto folderBefore = rig.lastFolder;
    EXPECT_FALSE(rig.tonewheels.canLoad());
    rig.tonewheels.loadFrom(file, 3);

    rig.connectAndLoad();
    EXPECT_TRUE(rig.tonewheels.canLoad());
    for (int slot : {0, 2, 6})
        rig.tonewheels.loadFrom(file, static_cast<uint8_t>(slot));
    EXPECT_TRUE(rig.view.empty());
    EXPECT_EQ(rig.lastFolder, folderBefore);
    EXPECT_TRUE(rig.takeSent().empty());
}

TEST(TonewheelFileController, RefusedFilesShowTheirNoticeAndSendNothing)
{
    struct Case
    {
        const char* name;
        FileNotice notice;
        bool folderMoves;
    };
    std::vector<Case> cases = {
        {"wheel.txt", FileNotice::notValid, false},
        {"folder.ktw", FileNotice::notValid, true}, // cannot be read: a folder
        {"magic.ktw", FileNotice::corrupted, true},
        {"empty.ktw", FileNotice::corrupted, true}, // no data after the name
        {"huge.ktw", FileNotice::corrupted, true},  // beyond 1 MiB
    };
#if !JUCE_WINDOWS
    // Not regular files: refused before anything opens them (a FIFO would block).
    for (const char* special : {"fifo.ktw", "device.ktw", "loop.ktw"})
        cases.push_back({special, FileNotice::notValid, true});
#endif
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FileRig rig;
        rig.connectAndLoad();
        const juce::String name(c.name);
        juce::File file;
        if (name == "folder.ktw")
        {
            file = rig.folder.getChildFile(name);
            file.createDirectory();
        }
        else if (name == "fifo.ktw" || name == "device.ktw" || name == "loop.ktw")
        {
            file = rig.folder.getChildFile(name);
            makeSpecialFile(file);
        }
        else if (name == "magic.ktw")
            file = rig.writeTonewheel(name, 100, 0x12345678);
        else if (name == "empty.ktw")
            file = rig.writeTonewheel(name, 0);
        else if (name == "huge.ktw")
            file = rig.writeTonewheel(name, 1048576 - 64 + 1);
        else
            file = rig.writeTonewheel(name, 100);
        const auto folderBefore = rig.lastFolder;
        rig.tonewheels.loadFrom(file, 4);
        EXPECT_EQ(rig.view, Lines{noticeLine(c.notice)});
        EXPECT_EQ(rig.lastFolder, c.folderMoves ? rig.folder : folderBefore);
        EXPECT_TRUE(rig.takeSent().empty());
    }
}

TEST(TonewheelFileController, TheUploadStartsOnlyAfterAYesWhileTheLinkIsStillUp)
{
    struct Case
    {
        const char* what;
        bool answer;
        bool linkLostDuringQuestion;
        bool uploads;
    };
    const Case cases[] = {
        {"yes", true, false, true},
        {"no", false, false, false},
        {"yes after the link went", true, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        FileRig rig;
        rig.connectAndLoad();
        rig.receive(sysex::tonewheelNameMessage(5, "Bright"));
        rig.answer = c.answer;
        if (c.linkLostDuringQuestion)
            rig.duringQuestion = [&] { rig.disconnect(); };
        rig.tonewheels.loadFrom(rig.writeTonewheel("wheel.ktw", 300), 5);

        ASSERT_FALSE(rig.view.empty());
        EXPECT_EQ(rig.view.front(), "question " + rig.link.tonewheelName(5));
        EXPECT_NE(rig.view.front().find("Bright"), std::string::npos);
        const auto sent = rig.takeSent();
        if (c.uploads)
        {
            EXPECT_EQ(rig.view.back(), "upload box");
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].size(), 47u); // the header
            EXPECT_EQ(rig.link.transfer.totalLength(), 300);
        }
        else
        {
            EXPECT_EQ(rig.view.size(), 1u);
            EXPECT_TRUE(sent.empty());
        }
    }
}
