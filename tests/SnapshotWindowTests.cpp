// The Snapshots window's wiring: the real editor against the simulated
// instrument, its keys, its list, its table, Recall and Compare.

#include "ConnectTestSupport.h"

#include "ui/SnapshotsWindow.h"

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using namespace kestra::connecttest;
using kestra::testing::pumpUntil;

TEST(SnapshotsWindow, KeysListTableRecallAndCompare)
{
    SimulatedRig rig("model=1");
    ASSERT_TRUE(rig.connect());
    auto& core = rig.editor.core();
    const auto found = rig.instrument().values();

    const auto ctrlH = juce::KeyPress('h', juce::ModifierKeys::commandModifier, 0);
    ASSERT_TRUE(rig.editor.keyPressed(ctrlH));
    auto* window = rig.editor.snapshotsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isCurrentlyModal());
    EXPECT_EQ(window->getName(), "Snapshots");
    auto& shown = window->snapshots();
    ASSERT_GE(shown.numSnapshotsShown(), 1);
    EXPECT_TRUE(shown.snapshotText(0).contains("Connected: Kestra Brio 1.5"));

    // An edit: the table lists it, in display units.
    core.setValue(parameterInfo(6), 3000.0);
    ASSERT_TRUE(pumpUntil([&] { return rig.instrument().values()[6] == 3000.0f; }));
    shown.selectRow(0);
    ASSERT_EQ(shown.numDifferencesShown(), 1);
    EXPECT_EQ(shown.differenceText(0), "Tone Generator | Click Eq Frequency | 2500 Hz | 3000 Hz");

    // Recall (the click is posted): the instrument has the snapshot's values again.
    shown.recallButton().triggerClick();
    ASSERT_TRUE(pumpUntil([&] { return shown.numDifferencesShown() == 0; }))
        << shown.differenceText(0);
    ASSERT_TRUE(pumpUntil([&] { return rig.instrument().values() == found; }));
    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));

    // Compare, by key: B plays, then A, and the window says which.
    ASSERT_TRUE(core.undo());
    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));
    const auto ctrlB = juce::KeyPress('b', juce::ModifierKeys::commandModifier, 0);
    ASSERT_TRUE(rig.editor.keyPressed(ctrlB));
    EXPECT_TRUE(shown.playingText().startsWith("Playing B: Connected: Kestra Brio"));
    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));
    EXPECT_EQ(rig.instrument().values(), found);
    ASSERT_TRUE(rig.editor.keyPressed(ctrlB));
    EXPECT_EQ(shown.playingText(), "Playing A: the current edit");
    ASSERT_TRUE(pumpUntil([&] { return rig.instrument().values()[6] == 3000.0f; }))
        << "the instrument has " << rig.instrument().values()[6] << ", the editor "
        << core.deviceLink().record().parameterValues[6];
    ASSERT_TRUE(pumpUntil([&] { return rig.isConnectedAndIdle(); }));
    EXPECT_TRUE(shown.snapshotText(0).contains("Before compare"));

    // Ctrl+Shift+S: the label is typed into the box, and OK takes it.
    const auto ctrlShiftS = juce::KeyPress(
        's', juce::ModifierKeys::commandModifier | juce::ModifierKeys::shiftModifier, 0);
    ASSERT_TRUE(rig.editor.keyPressed(ctrlShiftS));
    auto* box = rig.probe.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageOf(*box), texts::snapshotLabelQuestion);
    EXPECT_EQ(buttonTextsOf(*box), (juce::StringArray{"OK", "Cancel"}));
    auto* label = box->getTextEditor("text");
    ASSERT_NE(label, nullptr);
    label->setText("Warm Gospel");
    for (auto* child : box->getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*>(child))
            if (button->getButtonText() == "OK")
                button->triggerClick();
    ASSERT_TRUE(pumpUntil([&] { return shown.snapshotText(0).contains("Warm Gospel"); }));
    EXPECT_EQ(rig.probe.messageBox(), nullptr);

    if (const auto* shot = std::getenv("KESTRA_SNAPSHOTS_SHOT"))
    {
        const auto image = window->createComponentSnapshot(window->getLocalBounds());
        juce::FileOutputStream out{juce::File(shot)};
        out.setPosition(0);
        out.truncate();
        juce::PNGImageFormat().writeImageToStream(image, out);
    }

    ASSERT_TRUE(rig.editor.keyPressed(ctrlH));
    EXPECT_FALSE(window->isVisible());
}
