include(GoogleTest)

# Every test binary whose code runs on several threads joins this target, so that the
# ThreadSanitizer build compiles only what it runs (ctest -L threaded).
add_custom_target(threaded_tests)
# Every libFuzzer target joins this one (ctest -L fuzz in the QIRO_FUZZ build).
add_custom_target(fuzzers)

# qiro_add_test(NAME SOURCES src... LIBS lib... [THREADED])
# One GoogleTest binary; each test case becomes a ctest test. THREADED marks it for the
# ThreadSanitizer run.
function(qiro_add_test name)
    cmake_parse_arguments(ARG "THREADED" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock Threads::Threads)
    # One label per test: the discovered tests' properties pass through flattened lists, which
    # would split a list of labels. ctest -L takes a regular expression, so "-L unit" selects
    # both kinds and "-L threaded" the threaded ones.
    set(label unit)
    if(ARG_THREADED)
        set(label threaded-unit)
        add_dependencies(threaded_tests ${name})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${label} TIMEOUT 120)
endfunction()

# qiro_add_fuzzer(NAME SOURCES src... LIBS lib... CORPUS dir)
# A libFuzzer entry point (LLVMFuzzerTestOneInput). In the QIRO_FUZZ build it is a real fuzzer run
# for QIRO_FUZZ_SECONDS from its seed corpus; in every other build it is linked with a small driver
# that replays the seed corpus, so the seeds stay a regression test.
function(qiro_add_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    if(QIRO_FUZZ)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        add_dependencies(fuzzers ${name})
        set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
        add_test(NAME ${name}
                 COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                         $<TARGET_FILE:${name}> -max_total_time=${QIRO_FUZZ_SECONDS}
                         -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 ${work} ${ARG_CORPUS})
        set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600
                             FIXTURES_REQUIRED ${name}_corpus)
        add_test(NAME ${name}_corpus COMMAND ${CMAKE_COMMAND} -E make_directory ${work})
        set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz FIXTURES_SETUP ${name}_corpus)
    else()
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz_replay_main.cpp)
        add_test(NAME ${name}_replay COMMAND ${name} ${ARG_CORPUS})
        set_tests_properties(${name}_replay PROPERTIES LABELS unit TIMEOUT 120)
    endif()
endfunction()
