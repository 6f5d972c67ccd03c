# The look-and-feels, the selectors and the message boxes. Both programs need
# an X display (xvfb-run).

# The widgets alone, without the content component.
kestra_add_test(WidgetTests GUI
    SOURCES
        WidgetTests.cpp
        ${PROJECT_SOURCE_DIR}/ui/LookAndFeels.cpp
        ${PROJECT_SOURCE_DIR}/ui/CustomComboBox.cpp
        ${PROJECT_SOURCE_DIR}/ui/CustomAlertWindow.cpp
        ${PROJECT_SOURCE_DIR}/ui/EditorLookAndFeel.cpp
    LIBS kestra_juce)
target_include_directories(WidgetTests PRIVATE ${PROJECT_SOURCE_DIR})

# The message boxes of the real content component.
kestra_add_test(MessageBoxTests GUI SERIAL SOURCES MessageBoxTests.cpp ScreenPixels.cpp LIBS kestra_ui)
