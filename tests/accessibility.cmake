# The window for screen readers and the keyboard: names, roles and values,
# keys, Tab's order, the focus ring, the boxes' keys and the spoken events,
# on the simulated instrument. Needs an X display (xvfb-run).
kestra_add_test(AccessibilityTests GUI SOURCES AccessibilityTests.cpp LIBS kestra_ui kestra_sim)
