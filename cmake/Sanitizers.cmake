# Applied to project targets only, so that system libraries stay as shipped.
function(quendril_sanitize target)
    if(QUENDRIL_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

function(quendril_target target)
    quendril_warnings(${target})
    quendril_sanitize(${target})
endfunction()
