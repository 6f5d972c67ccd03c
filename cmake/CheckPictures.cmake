# kestra_check_pictures(<folder> <name>...): stops the configure step when a
# picture is missing, naming every missing one, instead of letting the build
# fail later at #include "BinaryData.h".
function(kestra_check_pictures folder)
    set(missing "")
    foreach(name IN LISTS ARGN)
        if(NOT EXISTS ${folder}/${name})
            list(APPEND missing ${name})
        endif()
    endforeach()
    if(missing)
        list(LENGTH missing count)
        list(JOIN missing " " names)
        message(FATAL_ERROR "${count} picture(s) missing in ${folder}: ${names}\n"
                            "Run resources/generate.sh to render them from resources/source.")
    endif()
endfunction()
