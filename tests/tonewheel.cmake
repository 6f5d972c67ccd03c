# The tonewheel upload: the File Dump on the wire and the file checks, headless.
kestra_add_test(TonewheelTransferTests SOURCES TonewheelTransferTests.cpp LIBS kestra_core)
kestra_add_test(TonewheelFileTests SOURCES TonewheelFileTests.cpp LIBS kestra_core)
