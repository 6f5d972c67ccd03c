# The file readers: project files and tonewheel files.
kestra_add_fuzzer(ProjectFileFuzzer ProjectFileFuzzer.cpp)
kestra_add_fuzzer(TonewheelFileFuzzer TonewheelFileFuzzer.cpp)

# The readers of the editor's own XML files (the snapshots' index, the
# settings) run JUCE's XML parser: juce_core alone, compiled here with clang,
# instrumented for coverage so that the fuzzer explores the parser too, and
# checked by AddressSanitizer (UBSan stays on our code).
find_package(JUCE 7.0.5 CONFIG REQUIRED)
add_library(kestra_fuzz_juce_core STATIC)
target_link_libraries(kestra_fuzz_juce_core PRIVATE juce::juce_core)
target_compile_definitions(kestra_fuzz_juce_core PUBLIC
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1 JUCE_STANDALONE_APPLICATION=1 JUCE_USE_CURL=0
    JUCE_WEB_BROWSER=0)
target_compile_definitions(kestra_fuzz_juce_core INTERFACE
    $<TARGET_PROPERTY:kestra_fuzz_juce_core,COMPILE_DEFINITIONS>)
target_include_directories(kestra_fuzz_juce_core SYSTEM INTERFACE
    $<TARGET_PROPERTY:kestra_fuzz_juce_core,INCLUDE_DIRECTORIES>)
target_compile_options(kestra_fuzz_juce_core PRIVATE -fsanitize=fuzzer-no-link,address)
kestra_add_fuzzer(XmlReadersFuzzer XmlReadersFuzzer.cpp
    ${PROJECT_SOURCE_DIR}/files/SnapshotIndex.cpp
    ${PROJECT_SOURCE_DIR}/link/NativeFile.cpp
    ${PROJECT_SOURCE_DIR}/link/SafeXml.cpp)
target_link_libraries(XmlReadersFuzzer PRIVATE kestra_fuzz_juce_core)
