# One interface target carries the language level, warnings and hardening for every target.
add_library(korvane_options INTERFACE)
target_compile_features(korvane_options INTERFACE cxx_std_20)
target_compile_options(korvane_options INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Wshadow
    -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wformat=2)
if(KORVANE_WERROR)
    target_compile_options(korvane_options INTERFACE -Werror)
endif()
target_compile_definitions(korvane_options INTERFACE
    $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

if(KORVANE_FUZZ)
    # Coverage for the fuzzer in every library the targets link.
    target_compile_options(korvane_options INTERFACE -fsanitize=fuzzer-no-link)
    # The programs and tests built beside the targets carry the same coverage hooks and need the
    # runtime that defines them, without libFuzzer's main.
    target_link_options(korvane_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(KORVANE_SANITIZE)
    target_compile_options(korvane_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(korvane_options INTERFACE -fsanitize=address,undefined)
endif()
