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
  # What add_linked_program needs to link this component's objects into a program.
  set_property(GLOBAL APPEND PROPERTY COMPONENTS ${target})
  set_property(GLOBAL PROPERTY COMPONENT_DEPS_${target} ${C_DEPS} ${C_PRIVATE_DEPS})
  set_property(GLOBAL PROPERTY COMPONENT_HAS_OBJECTS_${target} ${srcs})
  set(external Threads::Threads)
  foreach(pkg IN LISTS C_PKGS C_PUBLIC_PKGS)
    string(MAKE_C_IDENTIFIER "PKG_${pkg}" var)
    list(APPEND external PkgConfig::${var})
  endforeach()
  set_property(GLOBAL PROPERTY COMPONENT_EXTERNAL_${target} ${external})
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

# add_linked_program(<target> SOURCES <files> COMPONENTS <components>)
# A program that carries the object files of the given components and of every component
# they depend on, instead of loading them as shared libraries: its start-up then resolves
# no symbol between components (the dynamic loader's symbol lookups were most of a short
# run's CPU time). The objects are the shared libraries' own (no second compile), linked
# lower layers first, so class-load registrars run in the order the shared libraries give
# them. The program must not also link a component's shared library: it would carry two
# copies of every singleton. Call it after every component is defined.
function(add_linked_program target)
  cmake_parse_arguments(P "" "" "SOURCES;COMPONENTS" ${ARGN})
  set_property(GLOBAL PROPERTY _LINKED_PROGRAM_SEEN "")
  set_property(GLOBAL PROPERTY _LINKED_PROGRAM_ORDER "")
  foreach(c IN LISTS P_COMPONENTS)
    _linked_program_visit(${c})
  endforeach()
  get_property(order GLOBAL PROPERTY _LINKED_PROGRAM_ORDER)
  get_property(components GLOBAL PROPERTY COMPONENTS)
  # The program's own sources see the components' headers, without linking them.
  add_library(${target}_sources OBJECT ${P_SOURCES})
  set(objects)
  set(external)
  foreach(c IN LISTS order)
    target_include_directories(${target}_sources PRIVATE $<TARGET_PROPERTY:${c},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(${target}_sources PRIVATE $<TARGET_PROPERTY:${c},INTERFACE_COMPILE_DEFINITIONS>)
    get_property(has_objects GLOBAL PROPERTY COMPONENT_HAS_OBJECTS_${c})
    if(has_objects)
      list(APPEND objects $<TARGET_OBJECTS:${c}>)
    endif()
    get_property(ext GLOBAL PROPERTY COMPONENT_EXTERNAL_${c})
    get_property(deps GLOBAL PROPERTY COMPONENT_DEPS_${c})
    foreach(d IN LISTS deps)
      if(NOT d IN_LIST components)
        list(APPEND ext ${d})
      endif()
    endforeach()
    foreach(e IN LISTS ext)
      if(TARGET ${e})  # a plain library name carries no headers
        target_include_directories(${target}_sources PRIVATE $<TARGET_PROPERTY:${e},INTERFACE_INCLUDE_DIRECTORIES>)
      endif()
    endforeach()
    list(APPEND external ${ext})
  endforeach()
  list(REMOVE_DUPLICATES external)
  add_executable(${target} $<TARGET_OBJECTS:${target}_sources> ${objects})
  target_link_libraries(${target} PRIVATE ${external})
  if(FUZZ)
    # Fuzzer builds instrument the components' objects; their runtime comes with the link.
    target_link_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  endif()
endfunction()

# Depth first, dependencies before the component itself.
function(_linked_program_visit c)
  get_property(seen GLOBAL PROPERTY _LINKED_PROGRAM_SEEN)
  get_property(components GLOBAL PROPERTY COMPONENTS)
  if(c IN_LIST seen OR NOT c IN_LIST components)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY _LINKED_PROGRAM_SEEN ${c})
  get_property(deps GLOBAL PROPERTY COMPONENT_DEPS_${c})
  foreach(d IN LISTS deps)
    _linked_program_visit(${d})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY _LINKED_PROGRAM_ORDER ${c})
endfunction()
