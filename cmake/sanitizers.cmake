# The sanitizer build: AddressSanitizer with its leak check and
# UndefinedBehaviorSanitizer on every target, and the runtime options that
# make any report end the test that meets it with a failure. One suppression
# file names the only leak left, which is in Qt, not in this code.

option(NODECONFIG_SANITIZE "Build with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer" OFF)

set(NODECONFIG_SANITIZER_ENVIRONMENT "")
if(NODECONFIG_SANITIZE)
    if(MSVC)
        message(FATAL_ERROR "NODECONFIG_SANITIZE needs gcc or clang")
    endif()
    set(sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${sanitizer_flags})
    # Bounds checks of the standard containers (std::array operator[]),
    # which the address sanitizer cannot see inside an object.
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
    add_link_options(${sanitizer_flags})
    set(NODECONFIG_LSAN_SUPPRESSIONS ${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp)
    # Qt is built without frame pointers: only the full unwinder gives an
    # allocation's stack deep enough for the suppression to recognise Qt's
    # start-up. Twelve frames reach it and keep the unwinding affordable.
    set(NODECONFIG_SANITIZER_ENVIRONMENT
        "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:fast_unwind_on_malloc=0:malloc_context_size=12:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
        "LSAN_OPTIONS=suppressions=${NODECONFIG_LSAN_SUPPRESSIONS}:print_suppressions=0"
        "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
endif()

# Gives the named tests of the calling directory the sanitizer options, on
# top of the environment they set themselves. Does nothing in other builds.
function(nodeconfig_sanitize_tests)
    if(NODECONFIG_SANITIZER_ENVIRONMENT)
        set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT ${NODECONFIG_SANITIZER_ENVIRONMENT})
    endif()
endfunction()
