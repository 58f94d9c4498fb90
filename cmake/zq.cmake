# Build rules shared by every target of the project.

# File offsets and sizes are 64-bit everywhere, also on the camera's 32-bit ARM: recordings pass
# 4 GiB, and off_t, lseek, pread and stat would otherwise stop at 2 GiB there.
add_compile_definitions(_FILE_OFFSET_BITS=64)

if(ZQ_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(ZQ_CCACHE_PROGRAM ccache)
  if(ZQ_CCACHE_PROGRAM)
    set(CMAKE_C_COMPILER_LAUNCHER ${ZQ_CCACHE_PROGRAM})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${ZQ_CCACHE_PROGRAM})
  endif()
endif()

if(ZQ_SANITIZE)
  add_compile_options(-fsanitize=${ZQ_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ZQ_SANITIZE})
endif()

# Fuzz targets live in a sanitizer build tree beside the tests: the libraries carry the
# fuzzer's coverage instrumentation (harmless to ordinary binaries), and only the fuzz targets
# link libFuzzer itself.
if(ZQ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZQ_FUZZ needs clang (the asan preset uses it)")
  endif()
  if(NOT ZQ_SANITIZE MATCHES "address")
    message(FATAL_ERROR "ZQ_FUZZ needs ZQ_SANITIZE with address (the asan preset sets it)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_custom_target(fuzzers)
endif()

# Our own targets build with these warnings, as errors when ZQ_WERROR is on.
function(zq_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow
                         $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>
                         $<$<BOOL:${ZQ_WERROR}>:-Werror>)
  # Clang checks the locks' annotations (zqcommon/zqMutex.h): guarded data, required locks and
  # the lock order (the order needs the beta group).
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -Wthread-safety -Wthread-safety-beta)
  endif()
  # GCC 12 at -O3 reports overlapping copies inside libstdc++'s own string concatenation
  # ("lit" + std::string): a known false positive of that release, fixed in GCC 13.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
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

# A cross build's programs run through CMAKE_CROSSCOMPILING_EMULATOR (the ARM build's qemu-user):
# CTest puts it in front of every test binary itself, and tests that start the built programs
# themselves get it as ZQ_EMULATOR.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " ZQ_EMULATOR)
  set(ZQ_EMULATOR_ENVIRONMENT "ZQ_EMULATOR=set:${ZQ_EMULATOR}")
else()
  set(ZQ_EMULATOR "")
  set(ZQ_EMULATOR_ENVIRONMENT "ZQ_EMULATOR=unset:")
endif()

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
  # Tests that start the built programs (zqmp4, zqmf) find them through ZQ_BIN_DIR, and in a
  # cross build run them through ZQ_EMULATOR (zqtest::ProgramCommand).
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES LABELS unit ENVIRONMENT "ZQ_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
                                  ENVIRONMENT_MODIFICATION "${ZQ_EMULATOR_ENVIRONMENT}")
endfunction()

# zq_add_fuzzer(NAME SOURCES src... LIBS deps... [SEEDS dir])
# A libFuzzer target, run for ZQ_FUZZ_SECONDS by `ctest -L fuzz` in the fuzz build. It starts
# from the build's own corpus (where new inputs go), the committed corpus fuzz/corpus/NAME
# (inputs the long runs of scripts/long.sh found, when there are any) and the SEEDS. The seed of
# its mutations is fixed, so that a run over the same tree and corpus walks the same inputs: a
# test run fails on a fault the code has, not on a lucky draw; the long runs draw freely.
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
  if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    list(APPEND dirs ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  endif()
  if(ARG_SEEDS)
    list(APPEND dirs ${ARG_SEEDS})
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -max_total_time=${ZQ_FUZZ_SECONDS} -seed=1 -timeout=10 -rss_limit_mb=2048
                   -print_final_stats=1 ${dirs})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
endfunction()
