# Warnings are on, and errors, for our own code only: JUCE's module sources
# give false positives with these flags and are compiled without them.
function(kestra_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wconversion -Wno-sign-conversion -Wunused -Wcast-align -Wnull-dereference
        $<$<BOOL:${KESTRA_WERROR}>:-Werror>)
endfunction()
option(KESTRA_WERROR "Treat warnings in our own code as errors" ON)
