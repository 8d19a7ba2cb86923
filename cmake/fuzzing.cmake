# The fuzz build: clang's libFuzzer with AddressSanitizer and UBSan. Every
# library gets the fuzzer's coverage instrumentation; only the targets under
# fuzz/ link libFuzzer itself, which brings their main().

option(NODECONFIG_FUZZ "Build the libFuzzer targets of fuzz/ (clang only)" OFF)

if(NODECONFIG_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "NODECONFIG_FUZZ needs clang (its libFuzzer)")
    endif()
    if(NOT NODECONFIG_SANITIZE)
        message(FATAL_ERROR "NODECONFIG_FUZZ needs NODECONFIG_SANITIZE")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
