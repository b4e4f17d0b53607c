# add_component(<target>
#   LABEL <ctest label>
#   DEPS <targets or libraries linked PUBLIC>
#   PRIVATE_DEPS <linked PRIVATE>
#   PKGS <pkg-config modules linked PRIVATE>
#   PUBLIC_PKGS <pkg-config modules linked PUBLIC>
#   TEST_DEPS <extra libraries for the tests>
#   BENCH_SYSTEM_ALLOCATOR   the benchmark keeps the system allocator)
#
# Layout of the folder calling it:
#   include/<target>/...   public headers
#   src/**.cpp             the library
#   tests/*.cpp            unit tests, one executable per file: <target>_tests_<file> (label LABEL)
#   tests/slow/*.cpp       slow tests: <target>_slow_tests_<file> (labels LABEL;slow)
#   bench/*.cpp            Google Benchmark -> <target>_bench (not a test)
#   fuzz/*.cpp             libFuzzer targets, one executable per file, with -DFUZZ=ON
# Test executables compile with line tables only (file and line in backtraces,
# no variable info) and share one precompiled header of the test framework:
# together about 40% less compile time for the tests, which are most of the build.
set(TEST_DEBUG_FLAGS "-g1" CACHE STRING "Debug-info flags for the test executables")
# Test code is glue around the libraries, which keep the build type's level;
# -O1 takes about a quarter off a test file's compile time.
set(TEST_OPT_FLAGS "-O1" CACHE STRING "Optimisation flags for the test executables")
if(BUILD_TESTING AND NOT TARGET test_precompiled)
  add_executable(test_precompiled ${CMAKE_CURRENT_LIST_DIR}/test-pch/TestPrecompiledAnchor.cpp)
  target_link_libraries(test_precompiled PRIVATE GTest::gtest GTest::gmock)
  target_compile_options(test_precompiled PRIVATE ${TEST_DEBUG_FLAGS} ${TEST_OPT_FLAGS})
  target_precompile_headers(test_precompiled PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test-pch/TestPrecompiled.h)
  # Every test executable's main: runs the tests, then stops the dispatch workers before exit.
  add_library(test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/test-main/TestMain.cpp)
  target_link_libraries(test_main PUBLIC GTest::gtest GTest::gmock)
endif()

function(add_component target)
  cmake_parse_arguments(C "BENCH_SYSTEM_ALLOCATOR" "LABEL" "DEPS;PRIVATE_DEPS;PKGS;PUBLIC_PKGS;TEST_DEPS" ${ARGN})
  if(NOT C_LABEL)
    set(C_LABEL ${target})
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/*.c)
  if(srcs)
    add_library(${target} ${srcs})
    set(pub PUBLIC)
    set(priv PRIVATE)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  else()
    # Header-only so far.
    add_library(${target} INTERFACE)
    set(pub INTERFACE)
    set(priv INTERFACE)
  endif()
  target_include_directories(${target} ${pub} ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${target} ${pub} ${C_DEPS} Threads::Threads ${priv} ${C_PRIVATE_DEPS})
  foreach(pkg IN LISTS C_PKGS C_PUBLIC_PKGS)
    string(MAKE_C_IDENTIFIER "PKG_${pkg}" var)
    if(NOT TARGET PkgConfig::${var})
      pkg_check_modules(${var} REQUIRED IMPORTED_TARGET GLOBAL ${pkg})
    endif()
  endforeach()
  foreach(pkg IN LISTS C_PKGS)
    string(MAKE_C_IDENTIFIER "PKG_${pkg}" var)
    target_link_libraries(${target} ${priv} PkgConfig::${var})
  endforeach()
  foreach(pkg IN LISTS C_PUBLIC_PKGS)
    string(MAKE_C_IDENTIFIER "PKG_${pkg}" var)
    target_link_libraries(${target} ${pub} PkgConfig::${var})
  endforeach()

  if(BUILD_TESTING)
    _component_tests(${target} ${target}_tests "${C_LABEL}" tests "${C_TEST_DEPS}")
    _component_tests(${target} ${target}_slow_tests "${C_LABEL};slow" tests/slow "${C_TEST_DEPS}")
  endif()
  if(BUILD_BENCHMARKS)
    file(GLOB bench_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cpp)
    if(bench_srcs)
      add_executable(${target}_bench ${bench_srcs})
      target_link_libraries(${target}_bench PRIVATE ${target} ${C_TEST_DEPS} benchmark::benchmark benchmark::benchmark_main)
      target_include_directories(${target}_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
      if(NOT C_BENCH_SYSTEM_ALLOCATOR)
        use_program_allocator(${target}_bench)
      endif()
    endif()
  endif()
  if(FUZZ)
    file(GLOB fuzz_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*.cpp)
    if(fuzz_srcs AND srcs)
      # Coverage of the library itself guides the fuzzer.
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
      target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    foreach(f IN LISTS fuzz_srcs)
      get_filename_component(name ${f} NAME_WE)
      add_executable(${target}_fuzz_${name} ${f})
      target_compile_options(${target}_fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
      target_link_options(${target}_fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
      target_link_libraries(${target}_fuzz_${name} PRIVATE ${target})
    endforeach()
  endif()
endfunction()

# One executable per test file, so a test file that is being written cannot
# hold up the others of the same component.
function(_component_tests target prefix labels dir extra)
  file(GLOB test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  foreach(src IN LISTS test_srcs)
    get_filename_component(name ${src} NAME_WE)
    set(exe ${prefix}_${name})
    add_executable(${exe} ${src})
    target_link_libraries(${exe} PRIVATE ${target} ${extra} GTest::gtest GTest::gmock test_main)
    target_compile_options(${exe} PRIVATE ${TEST_DEBUG_FLAGS} ${TEST_OPT_FLAGS})
    target_precompile_headers(${exe} REUSE_FROM test_precompiled)
    target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    target_compile_definitions(${exe} PRIVATE TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests"
                                              PROJECT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    # Labels go on after discovery: a label list handed to gtest_discover_tests
    # is split into separate properties on the way, so "slow" was lost.
    set(label_file ${CMAKE_CURRENT_BINARY_DIR}/${exe}_labels.cmake)
    file(WRITE ${label_file}
         "if(DEFINED ${exe}_TESTS)\n  set_tests_properties(\${${exe}_TESTS} PROPERTIES LABELS \"${labels}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_file})
  endforeach()
endfunction()
