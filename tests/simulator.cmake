# The simulated instrument: exchanges over the virtual MIDI ports, faults,
# options and log, and the editor's device link talking to it; headless.
kestra_add_test(SimulatorTests SOURCES SimulatorTests.cpp SimulatorLinkTests.cpp LIBS kestra_sim)
