# Undo and redo, the MIDI monitor, files opened by drop and from the command line.
kestra_add_test(MessageLogTests SOURCES MessageLogTests.cpp LIBS kestra_core)
kestra_add_test(DesktopFeatureTests GUI SOURCES DesktopFeatureTests.cpp LIBS kestra_ui kestra_sim)
