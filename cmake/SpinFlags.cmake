# Flags shared by every target, and the stricter set of the plug-in core.

add_compile_options(-Wall -Wextra -Wshadow)
if(SPIN_WERROR)
    add_compile_options(-Werror)
endif()

# the side test must round each addition to a double, whatever the target:
# no contraction into FMA, no x87 excess precision, no fast-math
add_compile_options(-ffp-contract=off -fno-fast-math)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "i.86|x86")
    add_compile_options(-msse2 -mfpmath=sse)
endif()

if(SPIN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# the core runs inside the host's process: no exceptions, no RTTI, nothing
# exported but what the module record names
function(spin_core_target target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
        -fvisibility=hidden)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
