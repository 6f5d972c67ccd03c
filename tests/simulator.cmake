# The simulated instrument: exchanges over the virtual MIDI ports, faults,
# options and log, headless.
kestra_add_test(SimulatorTests SOURCES SimulatorTests.cpp LIBS kestra_sim)
