# The JUCE modules are compiled once, into two static libraries: kestra_juce_core
# (core, events, data structures, audio basics and devices: no component) for
# the editor's core, the command line and the headless tests, and kestra_juce
# (graphics and components) on top of it for the window. Every module's compile
# definitions and include directories are passed on to whoever links them.
find_package(JUCE 7.0.5 CONFIG REQUIRED)

# Debian's JUCE uses the system zlib, libpng and libjpeg instead of the bundled copies.
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

set(KESTRA_JUCE_DEFINITIONS
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    # Nothing in the editor waits for a box, a menu or a file chooser.
    JUCE_MODAL_LOOPS_PERMITTED=0
    JUCE_STANDALONE_APPLICATION=1
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_USE_XRANDR=1
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_APPLICATION_NAME_STRING="Kestra Editor"
    JUCE_APPLICATION_VERSION_STRING="${PROJECT_VERSION}")

add_library(kestra_juce_core STATIC)
target_link_libraries(kestra_juce_core
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_audio_basics
        juce::juce_audio_devices
    PUBLIC
        ZLIB::ZLIB)
target_compile_definitions(kestra_juce_core PUBLIC ${KESTRA_JUCE_DEFINITIONS})
# Hand the modules' own definitions and include paths on. Their system
# libraries (ALSA ...) reach the link line as private dependencies of this
# static library; the module sources are not handed on, so they compile here
# only, without our warning flags.
target_compile_definitions(kestra_juce_core INTERFACE
    $<TARGET_PROPERTY:kestra_juce_core,COMPILE_DEFINITIONS>)
target_include_directories(kestra_juce_core SYSTEM INTERFACE
    $<TARGET_PROPERTY:kestra_juce_core,INCLUDE_DIRECTORIES>)
set_target_properties(kestra_juce_core PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The component modules: their sources alone (the modules they depend on are
# in kestra_juce_core), with their own definitions, include paths, options and
# system libraries (X11, freetype ... on Linux; GDI ... on Windows).
add_library(kestra_juce STATIC)
foreach(module juce_graphics juce_gui_basics)
    get_target_property(sources ${module} INTERFACE_SOURCES)
    get_target_property(definitions ${module} INTERFACE_COMPILE_DEFINITIONS)
    get_target_property(includes ${module} INTERFACE_INCLUDE_DIRECTORIES)
    get_target_property(options ${module} INTERFACE_COMPILE_OPTIONS)
    get_target_property(libraries ${module} INTERFACE_LINK_LIBRARIES)
    target_sources(kestra_juce PRIVATE ${sources})
    target_compile_definitions(kestra_juce PUBLIC ${definitions})
    target_include_directories(kestra_juce SYSTEM PUBLIC ${includes})
    if(options)
        target_compile_options(kestra_juce PRIVATE ${options})
    endif()
    list(FILTER libraries EXCLUDE REGEX "^(juce::)?juce_")
    target_link_libraries(kestra_juce PRIVATE ${libraries})
endforeach()
target_link_libraries(kestra_juce PUBLIC kestra_juce_core PNG::PNG JPEG::JPEG)
set_target_properties(kestra_juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
