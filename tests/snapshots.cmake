# Snapshots: the store, the table of differences, and the core's triggers,
# recall and compare on the simulated instrument, headless.
kestra_add_test(SnapshotTests SOURCES SnapshotTests.cpp LIBS kestra_editor kestra_sim)
# The Snapshots window's wiring, under Xvfb.
kestra_add_test(SnapshotWindowTests GUI SOURCES SnapshotWindowTests.cpp LIBS kestra_ui kestra_sim)
