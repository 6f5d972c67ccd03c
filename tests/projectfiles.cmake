# Project files: the byte image, the checks, the naming rule and the pacing of
# the send (headless), and saving, opening and sending in the real editor (gui).
kestra_add_test(ProjectFileTests SOURCES ProjectFileTests.cpp LIBS kestra_core)
kestra_add_test(ProjectFileEditorTests GUI SOURCES ProjectFileEditorTests.cpp LIBS kestra_ui kestra_sim)
kestra_add_test(ProjectSendPacerTests SOURCES ProjectSendPacerTests.cpp LIBS kestra_core)
# The controllers of the send after an opening and of the file commands, headless.
kestra_add_test(ProjectSendControllerTests SOURCES ProjectSendControllerTests.cpp LIBS kestra_core)
kestra_add_test(FileControllerTests SOURCES FileControllerTests.cpp LIBS kestra_files)
