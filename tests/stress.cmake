# The real editor against the simulated instrument under a storm of reports,
# with every fault the instrument can be given, and closed mid-send; needs an
# X display (xvfb-run). Meant for ThreadSanitizer too (scripts/sanitize.sh).
kestra_add_test(StressTests GUI SOURCES StressTests.cpp LIBS kestra_ui kestra_sim)
