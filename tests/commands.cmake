# The buttons of the window: the edges of every command in the real editor
# against the simulated instrument (gui), and the end-to-end run of the real
# program, clicked through under a virtual display of its own (scripts/e2e.sh).
kestra_add_test(CommandTests GUI SOURCES CommandTests.cpp LIBS kestra_ui)
# The Windows program's end-to-end run is scripts/run-tests-windows.sh's own.
if(NOT WIN32)
    add_test(NAME EndToEnd COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e.sh $<TARGET_FILE:KestraEditor>)
    set_tests_properties(EndToEnd PROPERTIES LABELS gui TIMEOUT 300)
endif()
