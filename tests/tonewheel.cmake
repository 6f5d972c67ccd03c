# The tonewheel upload: the File Dump on the wire and the file checks (headless), and
# the upload in the editor against a scripted instrument (gui).
kestra_add_test(TonewheelTransferTests SOURCES TonewheelTransferTests.cpp LIBS kestra_core)
kestra_add_test(TonewheelFileTests SOURCES TonewheelFileTests.cpp LIBS kestra_core)
kestra_add_test(TonewheelUploadTests GUI SOURCES TonewheelUploadTests.cpp LIBS kestra_ui)
kestra_add_test(TonewheelSimulatorTests GUI SOURCES TonewheelSimulatorTests.cpp LIBS kestra_ui kestra_sim)
kestra_add_test(TonewheelUploadControllerTests SOURCES TonewheelUploadControllerTests.cpp LIBS kestra_core)
