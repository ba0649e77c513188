# Warnings apply to the project's own targets only; Qt and system headers come in through
# imported targets, whose include folders CMake marks as system folders.
function(orbanel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(ORBANEL_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
