# The buttons of the window: the edges of every command in the real editor
# against the simulated instrument (gui), and the end-to-end run of the real
# program, used through an X display of its own (tests/e2e/, pytest).
kestra_add_test(CommandTests GUI SOURCES CommandTests.cpp LIBS kestra_ui kestra_sim)
# The Windows program's end-to-end run is scripts/run-tests-windows.sh's own.
if(NOT WIN32)
    # Debian's pytest-3 runs Debian's python3, which has python3-xlib.
    find_program(KESTRA_PYTEST NAMES pytest-3 pytest)
    if(KESTRA_PYTEST)
        add_test(NAME EndToEnd
                 COMMAND ${KESTRA_PYTEST} -x -v -p no:cacheprovider ${PROJECT_SOURCE_DIR}/tests/e2e)
        set_tests_properties(EndToEnd PROPERTIES LABELS gui TIMEOUT 300 ENVIRONMENT
            "KESTRA_EDITOR=$<TARGET_FILE:KestraEditor>;PYTHONDONTWRITEBYTECODE=1")
    else()
        message(WARNING "pytest not found (python3-pytest): no EndToEnd test")
    endif()
endif()

# kestra-cli against the simulated instrument, with no display (tests/cli/, pytest), and its
# backup and restore beside the core's own SAVE and OPEN, byte for byte (CliTests.cpp).
if(NOT WIN32)
    if(KESTRA_PYTEST)
        add_test(NAME CliCommands
                 COMMAND ${KESTRA_PYTEST} -v -p no:cacheprovider ${PROJECT_SOURCE_DIR}/tests/cli)
        set_tests_properties(CliCommands PROPERTIES LABELS headless TIMEOUT 300 ENVIRONMENT
            "KESTRA_CLI=$<TARGET_FILE:kestra-cli>;PYTHONDONTWRITEBYTECODE=1")
    endif()
    kestra_add_test(CliTests SOURCES CliTests.cpp
        LIBS kestra_editor kestra_sim)
    target_compile_definitions(CliTests PRIVATE KESTRA_CLI_PATH="$<TARGET_FILE:kestra-cli>")
    add_dependencies(CliTests kestra-cli)
endif()
