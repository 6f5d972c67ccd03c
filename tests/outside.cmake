# The editor as a user and the instrument meet it: the sliders under a mouse
# that clicks through the window's peer, and the simulated instrument playing
# and misbehaving on cue. Both programs need an X display (xvfb-run).
kestra_add_test(SliderClickTests GUI SOURCES SliderClickTests.cpp LIBS kestra_ui kestra_sim)
kestra_add_test(SimulatorCueTests GUI SOURCES SimulatorCueTests.cpp LIBS kestra_ui kestra_sim)
