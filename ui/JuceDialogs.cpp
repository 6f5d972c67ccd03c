#include "ui/JuceDialogs.h"

#include "editor/MessageTexts.h"
#include "link/NativeFile.h"

#include <cmath>

namespace kestra
{

namespace
{
juce::String fromUtf8(const std::string& text)
{
    return juce::String::fromUTF8(text.data(), static_cast<int>(text.size()));
}
} // namespace

// The handle of a box that stays while work goes on. It knows its own box
// only: once another box has taken its place it changes nothing.
class JuceDialogs::ProgressBox final : public Dialogs::Progress
{
public:
    ProgressBox(JuceDialogs& owner, CustomAlertWindow* shownBox) : dialogs(&owner), box(shownBox) {}
    ~ProgressBox() override { close(); }

    void setText(const std::string& text) override
    {
        if (isShown())
            box->setMessage(fromUtf8(text));
    }

    void setProgress(double done) override
    {
        if (!isShown())
            return;
        if (!hasBar)
            box->addProgressBarComponent(value);
        hasBar = true;
        value = done;
        // Every quarter passed is spoken once.
        const int quarter = juce::jlimit(0, 4, static_cast<int>(std::floor(done * 4.0 + 1.0e-9)));
        if (quarter > spokenQuarter)
        {
            spokenQuarter = quarter;
            if (auto* owner = dialogs.get(); owner != nullptr && owner->announcer != nullptr)
                owner->announcer->announce(progressText(25 * quarter));
        }
    }

    bool isShown() const override
    {
        return dialogs != nullptr && box != nullptr && dialogs->box.get() == box.getComponent();
    }

    void close() override
    {
        if (isShown())
            dialogs->closeMessageBox();
    }

private:
    juce::WeakReference<JuceDialogs> dialogs;
    juce::Component::SafePointer<CustomAlertWindow> box;
    double value = 0.0; // the bar's; the box never outlives its handle
    bool hasBar = false;
    int spokenQuarter = 0;
};

JuceDialogs::~JuceDialogs()
{
    masterReference.clear();
    onBoxResult = nullptr; // closing with the editor calls nothing back
    closeMessageBox();
    chooser.reset();
}

void JuceDialogs::showMessageBox(const juce::String& message,
                                 const std::vector<std::string>& buttons, int focusedButton,
                                 std::function<void(int)> onResult)
{
    closeMessageBox();

    box = std::make_unique<CustomAlertWindow>(texts::boxTitle, juce::String());
    const auto handler = std::make_shared<const std::function<void(int)>>(std::move(onResult));
    onBoxResult = handler;
    auto& shownBox = *box;

    // The message font; the button font and height follow from it.
    shownBox.setAlertFont(juce::Font("Arial", 20.0f, juce::Font::plain));
    shownBox.setEscapeKeyCancels(false);

    shownBox.setColour(juce::AlertWindow::backgroundColourId, juce::Colour(0xF8FFFFFF));
    shownBox.setColour(juce::AlertWindow::textColourId, juce::Colour(0xFF000000));
    shownBox.setColour(juce::AlertWindow::outlineColourId, juce::Colour(0xFF000000));
    // The buttons find their colours in the box's look-and-feel.
    shownBox.getAlertLookAndFeel().setColour(juce::TextButton::textColourOffId,
                                             juce::Colour(0xFF000000));
    shownBox.getAlertLookAndFeel().setColour(juce::TextButton::buttonColourId,
                                             juce::Colour(0xFFE2E2E2));

    shownBox.setMessage(message);

    // A button's result is its index + 1: 0 is what closing the box reports.
    // Escape answers "No" or "Cancel"; a box without either ignores it.
    for (size_t k = 0; k < buttons.size(); ++k)
    {
        const bool escapes = buttons[k] == texts::no || buttons[k] == texts::cancel;
        shownBox.addButton(fromUtf8(buttons[k]), static_cast<int>(k) + 1,
                           escapes ? juce::KeyPress(juce::KeyPress::escapeKey) : juce::KeyPress(),
                           juce::KeyPress());
    }

    const juce::Component::SafePointer<CustomAlertWindow> shown(&shownBox);
    const juce::WeakReference<JuceDialogs> dialogs(this);
    auto dismissed = [dialogs, shown, handler](int result)
    {
        // Still the open box: the user pressed one of its buttons. Otherwise
        // it was closed or replaced (0), and has answered already.
        auto* owner = dialogs.get();
        const bool stillOpen =
            owner != nullptr && shown != nullptr && owner->box.get() == shown.getComponent();
        const bool pressed = stillOpen && result > 0;
        juce::Logger::writeToLog("messageBoxCallback: exit with result = " +
                                 juce::String(pressed ? result : 0));
        if (stillOpen && !pressed && owner != nullptr)
            owner->closeMessageBox(); // ended from outside: it goes as a closed box goes
        if (!pressed || owner == nullptr)
            return;
        // The box goes first; then its answer is handled.
        owner->onBoxResult.reset(); // answered: closing it says nothing more
        owner->closeMessageBox();
        if (*handler)
            (*handler)(result - 1);
    };
    // A keyboard user's Tab or arrow key between the buttons shows which has the focus.
    boxRing = std::make_unique<FocusRing>(shownBox);
    shownBox.addChildComponent(*boxRing);
    shownBox.addKeyListener(boxRing.get());

    if (announcer != nullptr)
        announcer->announce(Announcer::spokenText(message));

    // Not deleted when dismissed: this object stays its only owner.
    shownBox.enterModalState(true, juce::ModalCallbackFunction::create(dismissed), false);

    if (focusedButton >= 0 && focusedButton < static_cast<int>(buttons.size()))
        for (auto* child : shownBox.getChildren())
            if (auto* button = dynamic_cast<juce::TextButton*>(child))
                if (button->getButtonText() ==
                    fromUtf8(buttons[static_cast<size_t>(focusedButton)]))
                    button->grabKeyboardFocus();
}

void JuceDialogs::closeMessageBox()
{
    if (box == nullptr)
        return;

    // The box's answer, a moment later: whoever closed it may still be busy.
    if (auto handler = std::exchange(onBoxResult, nullptr))
        juce::MessageManager::callAsync(
            [dialogs = juce::WeakReference<JuceDialogs>(this), handler]
            {
                if (dialogs != nullptr && *handler)
                    (*handler)(closed);
            });

    box->exitModalState(0);
    if (boxRing != nullptr)
        box->removeKeyListener(boxRing.get());
    boxRing.reset();
    box.reset();
}

void JuceDialogs::notice(const std::string& text, std::function<void()> then)
{
    showMessageBox(fromUtf8(text), {texts::ok}, -1,
                   [then](int)
                   {
                       if (then)
                           then();
                   });
}

void JuceDialogs::ask(const std::string& text, const std::vector<std::string>& buttons,
                      int focusedButton, std::function<void(int button)> onAnswer)
{
    showMessageBox(fromUtf8(text), buttons, focusedButton, std::move(onAnswer));
}

void JuceDialogs::askText(const std::string& text, const std::string& initial,
                          std::function<void(std::optional<std::string> typed)> onAnswer)
{
    // The box is gone when its answer comes: the text is followed as it is typed.
    auto typed = std::make_shared<juce::String>(fromUtf8(initial));
    showMessageBox(fromUtf8(text), {texts::ok, texts::cancel}, -1,
                   [typed, onAnswer](int button)
                   {
                       if (button == 0)
                           onAnswer(typed->toStdString());
                       else
                           onAnswer(std::nullopt);
                   });
    box->addTextEditor("text", *typed);
    if (auto* editor = box->getTextEditor("text"))
    {
        editor->onTextChange = [typed, editor] { *typed = editor->getText(); };
        // Return answers OK (a button's result is its index + 1).
        editor->onReturnKey = [shown = juce::Component::SafePointer<CustomAlertWindow>(box.get())]
        {
            if (shown != nullptr)
                shown->exitModalState(1);
        };
        editor->setSelectAllWhenFocused(true);
        editor->grabKeyboardFocus();
    }
}

std::unique_ptr<Dialogs::Progress> JuceDialogs::progress(const std::string& text,
                                                         std::function<void()> onCancel)
{
    std::vector<std::string> buttons;
    if (onCancel)
        buttons.push_back(texts::cancel);
    showMessageBox(fromUtf8(text), buttons, -1,
                   [onCancel](int button)
                   {
                       if (button == 0 && onCancel)
                           onCancel();
                   });
    return std::make_unique<ProgressBox>(*this, box.get());
}

void JuceDialogs::chooseFile(FileKind kind, const juce::File& startAt,
                             std::function<void(const juce::File& chosen)> onChosen)
{
    using Flags = juce::FileBrowserComponent::FileChooserFlags;
    const char* title = "Open Project File";
    const char* pattern = "*.tkp";
    int flags = Flags::openMode | Flags::canSelectFiles;
    if (kind == FileKind::saveProject)
    {
        title = "Save Project File";
        flags = Flags::saveMode | Flags::canSelectFiles | Flags::warnAboutOverwriting;
    }
    else if (kind == FileKind::tonewheel)
    {
        title = "Load Tonewheel File";
        pattern = "*.ktw";
    }

    chooser = std::make_unique<juce::FileChooser>(title, startAt, pattern);
    // The file as the editor carries it, so that its name reaches the file
    // system byte for byte (link/NativeFile.h).
    chooser->launchAsync(flags, [onChosen](const juce::FileChooser& finished)
                         { onChosen(nativefile::carried(finished.getResult())); });
}

} // namespace kestra
