// The buttons of the window as a musician uses them: clicks on the real
// content component, connected by its own CONNECT button to the simulated
// instrument where a command needs one, with a user who answers the boxes,
// the tonewheel menu and the file choosers. One table holds every edge of the
// commands: store, reset and the tonewheel menu with and without a
// connection, the second click, LOAD... for each tonewheel model, pages and
// views clicked again, the refresh rule of the "Kestra Tavo", open and save,
// fast clicks, and what happens while a box or the menu is up.

#include "support/EditorTestProbe.h"
#include "support/GuiTestSupport.h"
#include "support/SimulatorConfigs.h"

#include "editor/MessageTexts.h"
#include "files/ProjectFile.h"
#include "sim/SimulatorOptions.h"
#include "ui/Pictures.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

KESTRA_JUCE_TEST_ENVIRONMENT;

using namespace kestra;
using kestra::testing::pumpFor;
using kestra::testing::pumpUntil;
using Bytes = std::vector<uint8_t>;
using Received = SimulatedInstrument::Received;
using namespace std::chrono_literals;

namespace
{
// The file choosers must be JUCE's own windows, which the user below answers.
// JUCE runs a desktop's dialog program (zenity, kdialog) instead when `which`
// finds one; with a PATH of an empty folder it finds none.
class OwnFileChoosers final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        folder = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getChildFile("kestra-no-programs-" + juce::Uuid().toDashedString());
        folder.createDirectory();
        kestra::testing::setEnvironmentVariable("PATH", folder.getFullPathName());
    }
    void TearDown() override { folder.deleteRecursively(); }

private:
    juce::File folder;
};
::testing::Environment* const ownFileChoosers =
    ::testing::AddGlobalTestEnvironment(new OwnFileChoosers);

const char* const alt1 = "ALT1 -  TONEWHEEL BC_1936";
const char* const alt2 = "ALT2 -  TONEWHEEL B3_1956";
const char* const alt3 = "ALT3 -  TONEWHEEL A100_1961";

using kestra::testing::buttonTextsOf;
using kestra::testing::configFrom;
using kestra::testing::isReleased;
using kestra::testing::messageOf;

template <typename T> T* findChild(juce::Component& parent)
{
    for (auto* child : parent.getChildren())
    {
        if (auto* found = dynamic_cast<T*>(child))
            return found;
        if (auto* found = findChild<T>(*child))
            return found;
    }
    return nullptr;
}

juce::String questionFor(const juce::String& slotName)
{
    return juce::String(texts::tonewheelWarningPrefix) + "\"" + slotName + "\"" +
           texts::tonewheelWillBeLost;
}

// Every notification the buttons send, in order, with the toggle state the
// handler saw ("STORE on"). A release sends none.
class Notifications final : public juce::Button::Listener
{
public:
    ~Notifications() override
    {
        for (auto& [button, name] : names)
            button->removeListener(this);
    }

    void watch(juce::Button& button, const std::string& name)
    {
        names[&button] = name;
        button.addListener(this); // after the editor: this one hears the end of its handling
    }

    void buttonClicked(juce::Button* button) override
    {
        events.push_back(names[button] + (button->getToggleState() ? " on" : " off"));
    }

    std::vector<std::string> events;

private:
    std::map<juce::Button*, std::string> names;
};

// A user at the window: reads every modal box and file chooser, remembers
// them with the toolbar buttons lit at that moment, and answers them as told.
// Boxes the editor closes itself (searching, transmitting) are left alone; a
// box nobody expected is closed and noted, so that a test fails instead of
// waiting.
class User final : private juce::Timer
{
public:
    struct Seen
    {
        bool chooser;
        juce::String text; // the box's message, or the chooser's title
        juce::StringArray buttons;
        juce::StringArray lit;
    };

    explicit User(EditorTestProbe& editorProbe) : probe(editorProbe) { startTimer(2); }
    ~User() override { stopTimer(); }

    // Presses `button` on boxes whose message starts with `prefix`, after
    // reading them for `patience`, while the editor goes on working.
    void answer(const juce::String& prefix, const juce::String& button,
                std::chrono::milliseconds patience = 0ms)
    {
        rules.push_back({prefix, button, patience});
    }

    // Forgets the answers and what was seen.
    void forget()
    {
        rules.clear();
        seen.clear();
    }

    // What the next file choosers get: a file, or nothing for Cancel.
    void chooseFile(std::optional<juce::File> file) { nextFile = std::move(file); }

    std::vector<juce::String> boxes() const
    {
        std::vector<juce::String> texts;
        for (const auto& s : seen)
            if (!s.chooser)
                texts.push_back(s.text);
        return texts;
    }
    std::vector<juce::String> choosers() const
    {
        std::vector<juce::String> titles;
        for (const auto& s : seen)
            if (s.chooser)
                titles.push_back(s.text);
        return titles;
    }
    bool saw(const juce::String& text) const
    {
        return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) { return s.text == text; });
    }

    std::vector<Seen> seen;
    std::vector<juce::String> unexpected;

private:
    struct Rule
    {
        juce::String prefix;
        juce::String button;
        std::chrono::milliseconds patience;
    };

    juce::StringArray litToolbar() const
    {
        juce::StringArray lit;
        const std::pair<const char*, juce::Button*> toolbar[] = {
            {"OPEN", &probe.openButton()},       {"SAVE", &probe.saveButton()},
            {"CONNECT", &probe.connectButton()}, {"STORE", &probe.storeButton()},
            {"RESET", &probe.resetButton()},     {"TONEWHEEL", &probe.tonewheelButton()}};
        for (const auto& [name, button] : toolbar)
            if (button->getToggleState())
                lit.add(name);
        return lit;
    }

    void timerCallback() override
    {
        auto* modal = juce::Component::getCurrentlyModalComponent();
        if (modal == nullptr || modal == answered.getComponent())
            return;
        const bool firstLook = modal != current.getComponent();
        if (firstLook)
        {
            current = modal;
            since = std::chrono::steady_clock::now();
        }

        if (auto* chooser = dynamic_cast<juce::FileChooserDialogBox*>(modal))
        {
            seen.push_back({true, chooser->getName(), {}, litToolbar()});
            answered = modal;
            auto* browser = findChild<juce::FileBrowserComponent>(*chooser);
            if (nextFile.has_value() && browser != nullptr)
            {
                browser->setRoot(nextFile->getParentDirectory());
                browser->setFileName(nextFile->getFileName());
                chooser->exitModalState(1);
            }
            else
            {
                chooser->exitModalState(0);
            }
            return;
        }

        if (modal->getName() == "menu")
            return; // the menus have answers of their own (EditorTestProbe::answerTonewheelMenu)

        auto* box = dynamic_cast<juce::AlertWindow*>(modal);
        if (box == nullptr)
        {
            unexpected.push_back("a modal " + modal->getName());
            answered = modal;
            modal->exitModalState(0);
            return;
        }

        const auto message = messageOf(*box);
        if (firstLook)
            seen.push_back({false, message, buttonTextsOf(*box), litToolbar()});
        for (const auto& r : rules)
            if (message.startsWith(r.prefix))
            {
                if (std::chrono::steady_clock::now() - since < r.patience)
                    return;
                answered = modal;
                box->triggerButtonClick(r.button);
                return;
            }
        for (const char* closedByTheEditor :
             {texts::searching, texts::transmittingTonewheel, texts::transmittingParameters})
            if (message == closedByTheEditor)
                return;
        answered = modal;
        if (buttonTextsOf(*box).contains(texts::ok))
        {
            box->triggerButtonClick(texts::ok);
            return;
        }
        unexpected.push_back(message);
        box->exitModalState(0);
    }

    EditorTestProbe& probe;
    std::vector<Rule> rules;
    std::optional<juce::File> nextFile;
    juce::Component::SafePointer<juce::Component> current;
    juce::Component::SafePointer<juce::Component> answered;
    std::chrono::steady_clock::time_point since;
};

struct MenuItem
{
    int id;
    juce::String text;
    bool enabled;
    bool ticked;
    bool operator==(const MenuItem& o) const
    {
        return id == o.id && text == o.text && enabled == o.enabled && ticked == o.ticked;
    }
};

std::ostream& operator<<(std::ostream& out, const MenuItem& item)
{
    return out << item.id << " \"" << item.text << "\"" << (item.enabled ? "" : " disabled")
               << (item.ticked ? " ticked" : "");
}

std::vector<MenuItem> itemsOf(const juce::PopupMenu& menu)
{
    std::vector<MenuItem> items;
    for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
    {
        const auto& item = it.getItem();
        items.push_back({item.itemID, item.text, item.isEnabled, item.isTicked});
    }
    return items;
}

std::vector<MenuItem> menuWith(const juce::String& name3, const juce::String& name4,
                               const juce::String& name5)
{
    return {{3, "Upload to " + name3, true, false},
            {4, "Upload to " + name4, true, false},
            {5, "Upload to " + name5, true, false}};
}

// The editor on the simulated instrument, not connected until told, every
// button watched, a user at the window and a folder for files.
struct Rig
{
    explicit Rig(const std::string& options)
        : services(new SimulatedMidiServices(configFrom(options))),
          editor(std::unique_ptr<MidiServices>(services))
    {
        const std::pair<juce::Button*, const char*> watched[] = {
            {&probe.openButton(), "OPEN"},
            {&probe.saveButton(), "SAVE"},
            {&probe.connectButton(), "CONNECT"},
            {&probe.storeButton(), "STORE"},
            {&probe.resetButton(), "RESET"},
            {&probe.tonewheelButton(), "TONEWHEEL"},
            {&probe.mainViewButton(), "MAIN"},
            {&probe.drawbarViewButton(), "DRAWBAR"},
            {&probe.overdriveClassicButton(), "OD CLASSIC"},
            {&probe.overdriveRockButton(), "OD ROCK"},
            {&probe.rotaryCommonButton(), "COMMON"},
            {&probe.rotaryClassicButton(), "ROT CLASSIC"},
            {&probe.rotaryRockButton(), "ROT ROCK"},
            {&probe.loadTonewheelButton(), "LOAD"}};
        for (const auto& [button, name] : watched)
            notes.watch(*button, name);
        for (int p = 0; p < 6; ++p)
            notes.watch(probe.pageButton(p), "PAGE" + std::to_string(p));

        folder = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getChildFile("kestra-commands-" + juce::Uuid().toDashedString());
        folder.createDirectory();
    }

    ~Rig() { folder.deleteRecursively(); }

    SimulatedInstrument& instrument() { return services->instrument(); }

    // A click as the framework makes it: the toggle flips (a radio button
    // that is on stays on) and the editor hears of it, then this returns.
    void click(juce::Button& button)
    {
        const auto before = notes.events.size();
        button.triggerClick();
        EXPECT_TRUE(pumpUntil([&] { return notes.events.size() > before; }))
            << "the click was not handled";
    }

    bool isConnectedAndIdle() const
    {
        return probe.supervisor().isConnected() && probe.supervisor().state() == Idle &&
               probe.messageBox() == nullptr;
    }

    // CONNECT, and the whole handshake; the user's and the buttons' records
    // start afresh afterwards.
    bool connect()
    {
        click(probe.connectButton());
        const bool ok = pumpUntil([this] { return isConnectedAndIdle(); }, 10s);
        user.seen.clear();
        notes.events.clear();
        return ok;
    }

    size_t mark() { return instrument().log().size(); }

    // What the instrument received from log entry `from` on, without the
    // heartbeat's identity requests.
    std::vector<Bytes> receivedSince(size_t from)
    {
        std::vector<Bytes> messages;
        const auto log = instrument().log();
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].direction == SimulatedInstrument::Direction::in &&
                log[i].bytes != sysex::identityRequest())
                messages.push_back(log[i].bytes);
        return messages;
    }

    // The pages whose own components are on screen.
    std::vector<int> shownPages()
    {
        const juce::Component* marks[] = {
            &probe.mainViewButton(),     probe.slider(29), &probe.overdriveClassicButton(),
            &probe.rotaryCommonButton(), probe.slider(23), probe.selector(98)};
        std::vector<int> pages;
        for (int p = 0; p < 6; ++p)
            if (marks[p]->isVisible())
                pages.push_back(p);
        return pages;
    }

    std::vector<int> pageButtonsOn()
    {
        std::vector<int> on;
        for (int p = 0; p < 6; ++p)
            if (probe.pageButton(p).getToggleState())
                on.push_back(p);
        return on;
    }

    juce::File tonewheelFile(const juce::String& name)
    {
        Bytes image(64, 0);
        const uint32_t magic = projectMagic;
        for (size_t i = 0; i < 4; ++i)
            image[i] = static_cast<uint8_t>(magic >> (8 * i));
        for (int i = 0; i < name.length(); ++i)
            image[32 + static_cast<size_t>(i)] = static_cast<uint8_t>(name[i]);
        for (int i = 0; i < 300; ++i)
            image.push_back(static_cast<uint8_t>(i * 7));
        auto file = folder.getChildFile(name + ".ktw");
        EXPECT_TRUE(file.replaceWithData(image.data(), image.size()));
        return file;
    }

    SimulatedMidiServices* services;
    MainContentComponent editor;
    EditorTestProbe probe{editor};
    Notifications notes;
    User user{probe};
    juce::File folder;
};

using Events = std::vector<std::string>;

struct Row
{
    const char* name;
    const char* options;
    std::function<void(Rig&)> run;
};

// ---- the rows ----------------------------------------------------------------------------------

void storeResetAndTonewheelWhileDisconnected(Rig& r)
{
    int menus = 0;
    r.probe.answerTonewheelMenu(
        [&](const juce::PopupMenu&)
        {
            ++menus;
            return 0;
        });
    const std::pair<juce::Button*, const char*> buttons[] = {
        {&r.probe.storeButton(), "STORE on"},
        {&r.probe.resetButton(), "RESET on"},
        {&r.probe.tonewheelButton(), "TONEWHEEL on"}};
    for (const auto& [button, event] : buttons)
    {
        SCOPED_TRACE(event);
        r.notes.events.clear();
        r.click(*button);
        // Lit by the click, released at once, and the release tells nobody.
        EXPECT_EQ(r.notes.events, Events{event});
        EXPECT_TRUE(isReleased(*button));
    }
    pumpFor(100ms);
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(r.user.seen.empty());
    EXPECT_FALSE(r.probe.isTimerRunning(StoreTimeoutTimer));
    EXPECT_FALSE(r.probe.isTimerRunning(ResetTimeoutTimer));
    EXPECT_EQ(r.probe.supervisor().state(), Idle);
    EXPECT_TRUE(r.instrument().log().empty());
}

void storeClickedTwice(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    auto& store = r.probe.storeButton();

    r.click(store);
    EXPECT_TRUE(store.getToggleState());
    EXPECT_EQ(r.probe.supervisor().state(), StorePending);
    EXPECT_TRUE(r.probe.isTimerRunning(StoreTimeoutTimer));
    ASSERT_TRUE(pumpUntil([&] { return !r.receivedSince(from).empty(); }));

    // The second click before the instrument answers: off, and the time-out stopped.
    r.click(store);
    EXPECT_EQ(r.notes.events, (Events{"STORE on", "STORE off"}));
    EXPECT_FALSE(store.getToggleState());
    EXPECT_FALSE(r.probe.isTimerRunning(StoreTimeoutTimer));
    EXPECT_EQ(r.probe.supervisor().state(), StorePending);
    pumpFor(200ms);
    EXPECT_TRUE(r.user.seen.empty());

    // A confirmation that still comes is welcome.
    r.services->virtualMidi().sendToEditor(r.instrument().inputIndex(), sysex::doneMessage());
    ASSERT_TRUE(pumpUntil([&] { return r.user.saw(texts::storeConfirmed); }));
    ASSERT_TRUE(pumpUntil([&] { return r.isConnectedAndIdle(); }));
    EXPECT_TRUE(isReleased(store));
    EXPECT_EQ(r.receivedSince(from), std::vector<Bytes>{sysex::storeRequest()});
    EXPECT_EQ(r.user.boxes(), std::vector<juce::String>{texts::storeConfirmed});
}

void resetAnsweredNoThenYes(Rig& r)
{
    r.instrument().turnKnob(5, 42.0f);
    ASSERT_TRUE(r.connect());
    ASSERT_EQ(r.probe.slider(5)->getValue(), 42.0);
    const auto from = r.mark();
    auto& reset = r.probe.resetButton();

    r.user.answer(texts::resetQuestion, texts::no);
    r.click(reset);
    ASSERT_EQ(r.user.seen.size(), 1u);
    EXPECT_EQ(r.user.seen[0].text, texts::resetQuestion);
    EXPECT_EQ(r.user.seen[0].buttons, juce::StringArray(texts::yes, texts::no));
    EXPECT_EQ(r.user.seen[0].lit, juce::StringArray("CONNECT", "RESET")); // lit while asked
    EXPECT_EQ(r.notes.events, Events{"RESET on"});
    EXPECT_TRUE(isReleased(reset));
    EXPECT_FALSE(r.probe.isTimerRunning(ResetTimeoutTimer));
    EXPECT_EQ(r.probe.supervisor().state(), Idle);
    pumpFor(200ms);
    EXPECT_TRUE(r.receivedSince(from).empty());
    EXPECT_EQ(r.instrument().values()[5], 42.0f);

    r.user.forget();
    r.user.answer(texts::resetQuestion, texts::yes);
    r.click(reset);
    ASSERT_TRUE(pumpUntil([&] { return isReleased(reset) && r.isConnectedAndIdle(); }));
    EXPECT_EQ(r.user.boxes(),
              (std::vector<juce::String>{texts::resetQuestion, texts::resetConfirmed}));
    EXPECT_EQ(r.receivedSince(from), std::vector<Bytes>{sysex::resetRequest()});
    EXPECT_EQ(r.probe.slider(5)->getValue(), parameterInfo(5).defaults[0]);
}

void tonewheelMenuDismissed(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    std::vector<MenuItem> shown;
    bool litWhileShown = false;
    r.probe.answerTonewheelMenu(
        [&](const juce::PopupMenu& menu)
        {
            shown = itemsOf(menu);
            litWhileShown = r.probe.tonewheelButton().getToggleState();
            return 0;
        });

    r.click(r.probe.tonewheelButton());
    ASSERT_TRUE(pumpUntil([&] { return isReleased(r.probe.tonewheelButton()); }));

    EXPECT_EQ(shown, menuWith(alt1, alt2, alt3));
    EXPECT_TRUE(litWhileShown);
    EXPECT_TRUE(isReleased(r.probe.tonewheelButton()));
    EXPECT_EQ(r.notes.events, Events{"TONEWHEEL on"});
    pumpFor(200ms);
    EXPECT_TRUE(r.user.seen.empty()); // no file chooser
    EXPECT_TRUE(r.receivedSince(from).empty());
}

void tonewheelMenuItemFour(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    r.probe.answerTonewheelMenu([](const juce::PopupMenu&) { return 4; });
    r.user.chooseFile(r.tonewheelFile("Row Four"));
    r.user.answer(texts::tonewheelWarningPrefix, texts::yes);

    r.click(r.probe.tonewheelButton());
    ASSERT_TRUE(pumpUntil(
        [&] { return r.instrument().uploadsCompleted() == 1 && r.isConnectedAndIdle(); }, 30s));

    ASSERT_GE(r.user.seen.size(), 2u);
    EXPECT_TRUE(r.user.seen[0].chooser);
    EXPECT_EQ(r.user.seen[0].text, "Load Tonewheel File");
    EXPECT_FALSE(r.user.seen[0].lit.contains("TONEWHEEL")); // released before the load
    EXPECT_EQ(r.user.seen[1].text, questionFor(alt2));
    EXPECT_TRUE(isReleased(r.probe.tonewheelButton()));
    EXPECT_EQ(r.instrument().slotNames()[4], "Row Four");
    EXPECT_EQ(r.probe.selector(97)->getItemText(4), "ALT2 -  Row Four");
    const auto sent = r.receivedSince(from);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(juce::String::fromUTF8(reinterpret_cast<const char*>(sent[0].data() + 6), 3), "AC2");
}

void menuShowsTheNamesOfTheLastFullRefresh(Rig& r)
{
    ASSERT_TRUE(r.connect());
    std::vector<MenuItem> shown;
    r.probe.answerTonewheelMenu(
        [&](const juce::PopupMenu& menu)
        {
            shown = itemsOf(menu);
            return 0;
        });

    ASSERT_TRUE(r.instrument().renameSlot(4, "LATER"));
    ASSERT_TRUE(pumpUntil([&] { return r.probe.selector(97)->getItemText(4) == "ALT2 -  LATER"; }));
    r.click(r.probe.tonewheelButton());
    ASSERT_TRUE(pumpUntil([&] { return isReleased(r.probe.tonewheelButton()); }));
    EXPECT_EQ(shown, menuWith(alt1, alt2, alt3));

    r.editor.refreshControls();
    r.click(r.probe.tonewheelButton());
    ASSERT_TRUE(pumpUntil([&] { return isReleased(r.probe.tonewheelButton()); }));
    EXPECT_EQ(shown, menuWith(alt1, "ALT2 -  LATER", alt3));
}

void loadEnabledFromModelThree(Rig& r)
{
    auto& load = r.probe.loadTonewheelButton();
    r.user.chooseFile(r.tonewheelFile("Unused"));
    r.user.answer(texts::tonewheelWarningPrefix, texts::no);
    r.click(r.probe.pageButton(5));
    ASSERT_TRUE(load.isVisible());

    // Not connected: enabled as ever, but the load returns at once.
    r.probe.link().setParameterValue(97, 4.0f);
    r.editor.refreshControls();
    ASSERT_TRUE(load.isEnabled());
    r.click(load);
    pumpFor(100ms);
    EXPECT_TRUE(r.user.seen.empty());

    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    struct Case
    {
        float value;
        bool enabled;
        const char* slot; // the slot the load asks about; null: no chooser
    };
    const Case cases[] = {
        {0.0f, false, nullptr},  {1.0f, false, nullptr}, {2.0f, false, nullptr},
        {2.99f, false, nullptr}, {3.0f, true, alt1},     {4.0f, true, alt2},
        {5.0f, true, alt3},      {5.9f, true, alt3},     {6.0f, true, nullptr},
        {127.0f, true, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        r.user.seen.clear();
        r.probe.link().setParameterValue(97, c.value);
        r.editor.refreshControls();
        EXPECT_EQ(load.isEnabled(), c.enabled);
        if (!c.enabled)
            continue;
        r.click(load);
        pumpFor(50ms);
        if (c.slot == nullptr)
        {
            EXPECT_TRUE(r.user.seen.empty()); // no slot to load into: no chooser
            continue;
        }
        ASSERT_EQ(r.user.seen.size(), 2u);
        EXPECT_EQ(r.user.seen[0].text, "Load Tonewheel File");
        EXPECT_EQ(r.user.seen[1].text, questionFor(c.slot));
        EXPECT_FALSE(load.getToggleState());
    }
    EXPECT_TRUE(r.receivedSince(from).empty()); // every question was answered "No"
}

void pageButtonClickedAgain(Rig& r)
{
    r.click(r.probe.pageButton(2));
    EXPECT_EQ(r.notes.events, (Events{"PAGE0 off", "PAGE2 on"}));
    r.notes.events.clear();

    r.click(r.probe.pageButton(2));
    EXPECT_EQ(r.notes.events, Events{"PAGE2 on"});
    EXPECT_EQ(r.probe.currentPage(), 2);
    EXPECT_EQ(r.shownPages(), std::vector<int>{2});
    EXPECT_EQ(r.pageButtonsOn(), std::vector<int>{2});
    EXPECT_TRUE(r.probe.selector(9)->isVisible());
}

void pagesFormARadioGroup(Rig& r)
{
    int previous = 0;
    for (int p : {1, 3, 5, 4, 2, 0, 5})
    {
        SCOPED_TRACE(p);
        r.notes.events.clear();
        r.click(r.probe.pageButton(p));
        // The old page is switched off, and hidden, before the new one is shown.
        EXPECT_EQ(r.notes.events, (Events{"PAGE" + std::to_string(previous) + " off",
                                          "PAGE" + std::to_string(p) + " on"}));
        EXPECT_EQ(r.probe.currentPage(), p);
        EXPECT_EQ(r.shownPages(), std::vector<int>{p});
        EXPECT_EQ(r.pageButtonsOn(), std::vector<int>{p});
        previous = p;
    }
}

void viewButtonsClickedTwice(Rig& r)
{
    struct Case
    {
        int page;
        juce::Button* (*button)(EditorTestProbe&);
        juce::Button* (*other)(EditorTestProbe&);
        Events firstClick;
        int (*view)(EditorTestProbe&);
        int expectedView;
        int shown;
        int hidden;
    };
    const Case cases[] = {
        {2,
         [](EditorTestProbe& p) -> juce::Button* { return &p.overdriveRockButton(); },
         [](EditorTestProbe& p) -> juce::Button* { return &p.overdriveClassicButton(); },
         {"OD CLASSIC off", "OD ROCK on"},
         [](EditorTestProbe& p) { return p.overdriveView(); },
         1,
         16,
         9},
        {0,
         [](EditorTestProbe& p) -> juce::Button* { return &p.drawbarViewButton(); },
         [](EditorTestProbe& p) -> juce::Button* { return &p.mainViewButton(); },
         {"MAIN off", "DRAWBAR on"},
         [](EditorTestProbe& p) { return p.toneGeneratorView(); },
         4,
         84,
         4},
        {3,
         [](EditorTestProbe& p) -> juce::Button* { return &p.rotaryRockButton(); },
         [](EditorTestProbe& p) -> juce::Button* { return &p.rotaryCommonButton(); },
         {"COMMON off", "ROT ROCK on"},
         [](EditorTestProbe& p) { return p.rotaryView(); },
         1,
         67,
         42},
    };
    auto shown = [&](int number) -> juce::Component*
    {
        if (auto* s = r.probe.slider(number))
            return s;
        return r.probe.selector(number);
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.page);
        r.click(r.probe.pageButton(c.page));
        auto& button = *c.button(r.probe);
        for (int click = 0; click < 2; ++click)
        {
            r.notes.events.clear();
            r.click(button);
            EXPECT_EQ(r.notes.events, click == 0 ? c.firstClick : Events{c.firstClick[1]});
            EXPECT_EQ(c.view(r.probe), c.expectedView);
            EXPECT_TRUE(button.getToggleState());
            EXPECT_FALSE(c.other(r.probe)->getToggleState());
            EXPECT_TRUE(shown(c.shown)->isVisible());
            EXPECT_FALSE(shown(c.hidden)->isVisible());
            EXPECT_EQ(r.shownPages(), std::vector<int>{c.page});
        }
    }
}

void modelThreeRefreshWhilePageFiveIsShown(Rig& r)
{
    r.click(r.probe.pageButton(5));
    ASSERT_EQ(r.shownPages(), std::vector<int>{5});

    // The handshake with a "Kestra Tavo" ends in the full refresh.
    ASSERT_TRUE(r.connect());
    EXPECT_EQ(r.probe.link().modelIndex(), 3);
    EXPECT_FALSE(r.probe.pageButton(5).isVisible());
    EXPECT_EQ(r.probe.currentPage(), 0);
    EXPECT_EQ(r.shownPages(), std::vector<int>{0});
    EXPECT_EQ(r.pageButtonsOn(), std::vector<int>{0});
    EXPECT_FALSE(r.probe.selector(97)->isVisible());
    EXPECT_FALSE(r.probe.loadTonewheelButton().isVisible());

    // Neither the page-5 controls nor LOAD... follow a refresh under model 3.
    const bool loadEnabled = r.probe.loadTonewheelButton().isEnabled();
    const int shownModel = r.probe.selector(97)->getSelectedItemIndex();
    r.probe.link().setParameterValue(97, loadEnabled ? 0.0f : 4.0f);
    r.editor.refreshControls();
    EXPECT_EQ(r.probe.loadTonewheelButton().isEnabled(), loadEnabled);
    EXPECT_EQ(r.probe.selector(97)->getSelectedItemIndex(), shownModel);

    // Another page stays where it is.
    r.click(r.probe.pageButton(2));
    r.editor.refreshControls();
    EXPECT_EQ(r.probe.currentPage(), 2);
    EXPECT_EQ(r.shownPages(), std::vector<int>{2});

    // Any other model brings the page button back.
    r.probe.link().setIdentity(1, 0);
    r.editor.refreshControls();
    EXPECT_TRUE(r.probe.pageButton(5).isVisible());
}

void connectWhileConnected(Rig& r)
{
    ASSERT_TRUE(r.connect());
    r.click(r.probe.connectButton());
    EXPECT_EQ(r.notes.events, Events{"CONNECT off"});
    EXPECT_FALSE(r.probe.supervisor().isConnected());
    EXPECT_EQ(r.probe.connectionIndicator().getImage(), pictures::connectedOff());
    EXPECT_TRUE(r.probe.deviceLabel().getText().isEmpty());
    EXPECT_FALSE(r.probe.hasInput());
    EXPECT_FALSE(r.probe.hasOutput());
    EXPECT_FALSE(r.probe.isTimerRunning(HeartbeatTimer));
    const auto from = r.mark();
    pumpFor(300ms);
    EXPECT_EQ(r.mark(), from); // the heartbeat has stopped
    EXPECT_TRUE(r.user.seen.empty());
}

void openAndSaveReleaseTheirButtons(Rig& r)
{
    auto& open = r.probe.openButton();
    auto& save = r.probe.saveButton();

    // Saving under a name without the extension gives the project file.
    r.probe.slider(4)->setValue(-3.0, juce::sendNotificationSync);
    r.user.chooseFile(r.folder.getChildFile("song"));
    r.click(save);
    EXPECT_EQ(r.user.choosers(), std::vector<juce::String>{"Save Project File"});
    EXPECT_EQ(r.user.seen.back().lit, juce::StringArray("SAVE")); // lit while choosing
    EXPECT_TRUE(isReleased(save));
    EXPECT_EQ(r.folder.getChildFile("song.tkp").getSize(),
              static_cast<juce::int64>(projectfile::fileSize));

    // Open, cancelled: nothing changes.
    r.probe.slider(4)->setValue(3.0, juce::sendNotificationSync);
    r.user.chooseFile(std::nullopt);
    r.click(open);
    EXPECT_TRUE(isReleased(open));
    EXPECT_EQ(r.probe.link().parameterValue(4), 3.0f);

    // Open, the saved project: its value comes back.
    r.user.chooseFile(r.folder.getChildFile("song.tkp"));
    r.click(open);
    EXPECT_EQ(
        r.user.choosers(),
        (std::vector<juce::String>{"Save Project File", "Open Project File", "Open Project File"}));
    EXPECT_EQ(r.user.seen.back().lit, juce::StringArray("OPEN"));
    EXPECT_TRUE(isReleased(open));
    EXPECT_EQ(r.probe.link().parameterValue(4), -3.0f);
    EXPECT_EQ(r.probe.slider(4)->getValue(), -3.0);
    EXPECT_EQ(r.notes.events, (Events{"SAVE on", "OPEN on", "OPEN on"}));
    EXPECT_TRUE(r.user.boxes().empty());
}

void fastClicks(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();

    // Pages and views clicked faster than the editor handles them.
    const int pages[] = {1, 2, 3, 4, 5, 0, 3};
    for (int p : pages)
        r.probe.pageButton(p).triggerClick();
    r.probe.rotaryRockButton().triggerClick();
    r.probe.rotaryClassicButton().triggerClick();
    ASSERT_TRUE(pumpUntil([&] { return r.notes.events.size() >= 2 * std::size(pages) + 4; }));
    EXPECT_EQ(r.probe.currentPage(), 3);
    EXPECT_EQ(r.shownPages(), std::vector<int>{3});
    EXPECT_EQ(r.pageButtonsOn(), std::vector<int>{3});
    EXPECT_EQ(r.probe.rotaryView(), 0);
    EXPECT_TRUE(r.probe.slider(58)->isVisible());
    EXPECT_FALSE(r.probe.slider(67)->isVisible());

    // STORE twice before the first click is handled, the confirmation behind both.
    r.notes.events.clear();
    r.probe.storeButton().triggerClick();
    r.probe.storeButton().triggerClick();
    ASSERT_TRUE(pumpUntil([&] { return r.user.saw(texts::storeConfirmed); }));
    ASSERT_TRUE(pumpUntil([&] { return r.isConnectedAndIdle(); }));
    EXPECT_EQ(r.notes.events, (Events{"STORE on", "STORE off"}));
    EXPECT_TRUE(isReleased(r.probe.storeButton()));
    EXPECT_FALSE(r.probe.isTimerRunning(StoreTimeoutTimer));
    EXPECT_EQ(r.receivedSince(from), std::vector<Bytes>{sysex::storeRequest()});

    // Nothing is left lit but CONNECT.
    for (auto* button : {&r.probe.openButton(), &r.probe.saveButton(), &r.probe.resetButton(),
                         &r.probe.tonewheelButton()})
        EXPECT_TRUE(isReleased(*button));
    EXPECT_TRUE(r.probe.connectButton().getToggleState());
}

void patientUserKeepsTheLinkWhileTheQuestionIsUp(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    // Longer than a heartbeat period: the heartbeat goes on under the box.
    r.user.answer(texts::resetQuestion, texts::yes, 3500ms);
    r.click(r.probe.resetButton());
    ASSERT_TRUE(
        pumpUntil([&] { return isReleased(r.probe.resetButton()) && r.isConnectedAndIdle(); }));
    EXPECT_EQ(r.user.boxes(),
              (std::vector<juce::String>{texts::resetQuestion, texts::resetConfirmed}));
    EXPECT_EQ(r.receivedSince(from), std::vector<Bytes>{sysex::resetRequest()});
    EXPECT_GE(r.instrument().receivedCount(Received::identityRequest), 3);
}

void linkLostWhileTheQuestionIsUp(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    r.user.answer(texts::resetQuestion, texts::yes, 60s); // never in time
    r.click(r.probe.resetButton());
    ASSERT_TRUE(pumpUntil([&] { return r.user.saw(texts::connectionLost); }, 10s));
    pumpFor(100ms);

    // The box of the lost link replaces the question, which then counts as "No".
    EXPECT_EQ(r.user.boxes(),
              (std::vector<juce::String>{texts::resetQuestion, texts::connectionLost}));
    EXPECT_TRUE(isReleased(r.probe.resetButton()));
    EXPECT_TRUE(isReleased(r.probe.connectButton()));
    EXPECT_FALSE(r.probe.isTimerRunning(ResetTimeoutTimer));
    EXPECT_EQ(r.probe.supervisor().state(), Idle);
    EXPECT_TRUE(r.receivedSince(from).empty());
}

void linkLostWhileTheMenuIsUp(Rig& r)
{
    ASSERT_TRUE(r.connect());
    const auto from = r.mark();
    r.user.chooseFile(r.tonewheelFile("Too Late"));
    // The user keeps the menu open until the link is gone, then picks a slot.
    r.probe.answerTonewheelMenu(
        [&](const juce::PopupMenu&)
        {
            const bool lost =
                !r.probe.supervisor().isConnected() && r.probe.messageBox() == nullptr;
            return lost ? 4 : -1;
        });
    r.click(r.probe.tonewheelButton());
    ASSERT_TRUE(pumpUntil([&] { return isReleased(r.probe.tonewheelButton()); }, 15s));
    pumpFor(100ms);
    EXPECT_EQ(r.user.boxes(), std::vector<juce::String>{texts::connectionLost});
    EXPECT_TRUE(r.user.choosers().empty());
    EXPECT_TRUE(isReleased(r.probe.tonewheelButton()));
    EXPECT_TRUE(r.receivedSince(from).empty());
}

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {"StoreResetAndTonewheelWhileDisconnected", "", storeResetAndTonewheelWhileDisconnected},
        {"StoreClickedTwice", "silent-after-store", storeClickedTwice},
        {"ResetAnsweredNoThenYes", "", resetAnsweredNoThenYes},
        {"TonewheelMenuDismissed", "", tonewheelMenuDismissed},
        {"TonewheelMenuItemFour", "", tonewheelMenuItemFour},
        {"MenuShowsTheNamesOfTheLastFullRefresh", "", menuShowsTheNamesOfTheLastFullRefresh},
        {"LoadEnabledFromModelThree", "", loadEnabledFromModelThree},
        {"PageButtonClickedAgain", "", pageButtonClickedAgain},
        {"PagesFormARadioGroup", "", pagesFormARadioGroup},
        {"ViewButtonsClickedTwice", "", viewButtonsClickedTwice},
        {"ModelThreeRefreshWhilePageFiveIsShown", "model=3", modelThreeRefreshWhilePageFiveIsShown},
        {"ConnectWhileConnected", "", connectWhileConnected},
        {"OpenAndSaveReleaseTheirButtons", "", openAndSaveReleaseTheirButtons},
        {"FastClicks", "", fastClicks},
        {"PatientUserKeepsTheLinkWhileTheQuestionIsUp", "",
         patientUserKeepsTheLinkWhileTheQuestionIsUp},
        {"LinkLostWhileTheQuestionIsUp", "heartbeat-stops-after=1", linkLostWhileTheQuestionIsUp},
        {"LinkLostWhileTheMenuIsUp", "heartbeat-stops-after=1", linkLostWhileTheMenuIsUp},
    };
    return table;
}

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

struct Commands : ::testing::TestWithParam<Row>
{
};
} // namespace

TEST_P(Commands, EndWithEveryButtonAsTheCommandLeavesIt)
{
    const auto& row = GetParam();
    Rig rig(row.options);
    row.run(rig);

    // Nothing is left up, and nothing came that the user did not expect.
    EXPECT_TRUE(pumpUntil([] { return juce::Component::getCurrentlyModalComponent() == nullptr; }));
    EXPECT_EQ(rig.probe.messageBox(), nullptr);
    EXPECT_TRUE(rig.user.unexpected.empty()) << rig.user.unexpected.front();
}

INSTANTIATE_TEST_SUITE_P(Edges, Commands, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& rowInfo)
                         { return std::string(rowInfo.param.name); });
