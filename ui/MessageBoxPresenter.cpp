#include "ui/MessageBoxPresenter.h"

namespace kestra
{

MessageBoxPresenter::~MessageBoxPresenter()
{
    close();
}

int MessageBoxPresenter::show(const juce::String& title, const juce::String& message,
                              const juce::String& button1Text, int button1Value,
                              const juce::String& button2Text, int button2Value,
                              const juce::String& button3Text, int button3Value,
                              ResultHandler onResult)
{
    close();

    box = std::make_unique<CustomAlertWindow>(title, juce::String());
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

    const std::pair<const juce::String&, int> buttons[] = {
        {button1Text, button1Value}, {button2Text, button2Value}, {button3Text, button3Value}};
    for (const auto& [text, value] : buttons)
        if (text.isNotEmpty())
            shownBox.addButton(text, value, juce::KeyPress(), juce::KeyPress());

    const juce::Component::SafePointer<CustomAlertWindow> shown(&shownBox);

    if (onResult != nullptr)
    {
        const juce::WeakReference<MessageBoxPresenter> presenter(this);
        auto dismissed = [onResult, presenter, shown](int result)
        {
            // Still the open box: the user dismissed it. Otherwise the editor
            // closed or replaced it, and that ends it with 0.
            auto isOpen = [&]
            {
                return presenter != nullptr && shown != nullptr &&
                       presenter->box.get() == shown.getComponent();
            };
            onResult(isOpen() ? result : 0);

            // Handling the result may have closed or replaced the box; if
            // not, it goes now that it has been dismissed.
            if (isOpen())
                presenter->box.reset();
        };
        // Not deleted when dismissed: the presenter stays its only owner.
        shownBox.enterModalState(true, juce::ModalCallbackFunction::create(dismissed), false);
        return 0;
    }

    const int result = shownBox.runModalLoop();

    // Only this box: if another box replaced it meanwhile, that one stays open.
    if (shown != nullptr && box.get() == shown.getComponent())
        box.reset();
    return result;
}

void MessageBoxPresenter::close()
{
    if (box == nullptr)
        return;

    box->exitModalState(0);
    box.reset();
}

} // namespace kestra
