# The JUCE modules are compiled once into one static library that the editor,
# the tests and the benchmarks link; every module's compile definitions and
# include directories are passed on to whoever links it.
find_package(JUCE 7.0.5 CONFIG REQUIRED)

# Debian's JUCE uses the system zlib, libpng and libjpeg instead of the bundled copies.
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

add_library(kestra_juce STATIC)
target_link_libraries(kestra_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_graphics
        juce::juce_gui_basics
        juce::juce_audio_basics
        juce::juce_audio_devices
    PUBLIC
        ZLIB::ZLIB PNG::PNG JPEG::JPEG)

target_compile_definitions(kestra_juce
    PUBLIC
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_MODAL_LOOPS_PERMITTED=1
        JUCE_STANDALONE_APPLICATION=1
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_USE_XRANDR=1
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
        JUCE_APPLICATION_NAME_STRING="Kestra Editor"
        JUCE_APPLICATION_VERSION_STRING="${PROJECT_VERSION}")

# Hand the modules' own definitions and include paths on. Their system
# libraries (X11, ALSA, freetype ...) reach the link line as private
# dependencies of this static library; the module sources are not handed on,
# so they compile here only, without our warning flags.
target_compile_definitions(kestra_juce INTERFACE
    $<TARGET_PROPERTY:kestra_juce,COMPILE_DEFINITIONS>)
target_include_directories(kestra_juce SYSTEM INTERFACE
    $<TARGET_PROPERTY:kestra_juce,INCLUDE_DIRECTORIES>)
set_target_properties(kestra_juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
