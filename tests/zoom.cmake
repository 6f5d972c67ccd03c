# The zoom: the fit rule and its steps (headless, with the model's tests),
# and the zoomed window itself.
target_sources(ModelTests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ZoomStepsTests.cpp)

# The zoomed window on a screen (Linux: it reads the window, its size hints
# and its pixels back from the X server). Each test runs in an X display of
# its own, 2400 x 1600, where the window fits at 200 %.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    add_executable(ZoomTests ZoomTests.cpp ZoomScreen.cpp)
    target_link_libraries(ZoomTests PRIVATE kestra_ui X11::X11 GTest::gtest GTest::gtest_main)
    kestra_warnings(ZoomTests)
    # Listing and running the tests both go through the script.
    set_target_properties(ZoomTests PROPERTIES
        CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_SOURCE_DIR}/tools/large-screen.sh)
    gtest_discover_tests(ZoomTests
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS gui TIMEOUT ${KESTRA_TEST_TIMEOUT})
endif()

# The 2x pictures are checked with the others.
target_link_libraries(ResourcesTest PRIVATE KestraResources2x)
