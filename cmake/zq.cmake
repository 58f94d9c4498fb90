# Build rules shared by every target of the project.

if(ZQ_SANITIZE)
  add_compile_options(-fsanitize=${ZQ_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ZQ_SANITIZE})
endif()

if(ZQ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZQ_FUZZ needs clang (use the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  set(ZQ_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  add_custom_target(fuzzers)
endif()

# Our own targets build with warnings as errors.
function(zq_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow
                         $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
endfunction()

# zq_add_library(NAME SOURCES src... [PUBLIC deps...] [PRIVATE deps...])
# A library with public headers in include/ and sources in src/.
function(zq_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                             PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  zq_target_defaults(${name})
endfunction()

# zq_add_tests(NAME SOURCES src... LIBS deps...)
# A GoogleTest binary whose cases CTest discovers when it runs.
function(zq_add_tests name)
  if(NOT ZQ_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main
                        GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  zq_target_defaults(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES LABELS unit ENVIRONMENT "ZQ_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
endfunction()

# zq_add_fuzzer(NAME SOURCES src... LIBS deps... [SEEDS dir])
# A libFuzzer target, run for ZQ_FUZZ_SECONDS by `ctest -L fuzz` in the fuzz build.
function(zq_add_fuzzer name)
  if(NOT ZQ_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  zq_target_defaults(${name})
  add_dependencies(fuzzers ${name})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  set(dirs ${corpus})
  if(ARG_SEEDS)
    list(APPEND dirs ${ARG_SEEDS})
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -max_total_time=${ZQ_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
                   -print_final_stats=1 ${dirs})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
endfunction()
