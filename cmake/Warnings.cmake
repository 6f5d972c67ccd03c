# Warnings are on for our own code only: JUCE's module sources give false
# positives with these flags and are compiled without them. -Werror is off by
# default, so that a packager's build with another compiler or optimisation
# level is not stopped by a new warning; CI and scripts/run-tests.sh turn it on.
option(KESTRA_WERROR "Treat warnings in our own code as errors" OFF)

function(kestra_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wconversion -Wno-sign-conversion -Wunused -Wcast-align -Wnull-dereference
        $<$<BOOL:${KESTRA_WERROR}>:-Werror>)
endfunction()
