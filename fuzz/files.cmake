# The file readers: project files and tonewheel files.
kestra_add_fuzzer(ProjectFileFuzzer ProjectFileFuzzer.cpp)
kestra_add_fuzzer(TonewheelFileFuzzer TonewheelFileFuzzer.cpp)
