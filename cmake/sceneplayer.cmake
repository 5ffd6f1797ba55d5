# Shared build settings and helpers for the sceneplayer modules.

add_compile_options(-Wall -Wextra -Wpedantic -ffp-contract=off)
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  # GCC 12 leaves the per-byte pixel loops scalar at -O2.
  string(REPLACE "-O2" "-O3" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
  string(REPLACE "-O2" "-O3" CMAKE_C_FLAGS_RELEASE "${CMAKE_C_FLAGS_RELEASE}")
endif()

if(SP_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(SP_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# sp_module(NAME <target> [DEPS <targets or libs>...] [EXCLUDE <files>...])
# A library made of every .cpp in the calling directory (main.cpp excluded), public include
# root src/, so headers are included as "platform/sys/event.h", "scene/scene_item.h", ...
function(sp_module)
  cmake_parse_arguments(M "" "NAME" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  foreach(ex ${M_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "/${ex}$")
  endforeach()
  if(srcs)
    add_library(${M_NAME} STATIC ${srcs})
    target_include_directories(${M_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${M_NAME} PUBLIC ${M_DEPS})
  else()
    add_library(${M_NAME} INTERFACE)
    target_include_directories(${M_NAME} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${M_NAME} INTERFACE ${M_DEPS})
  endif()
endfunction()

# sp_test(NAME <name> SOURCES <files>... LIBS <targets>...)
function(sp_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE SP_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               SP_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()

# sp_fuzzer(NAME <name> SOURCES <files>... LIBS <targets>...); its seeds live in corpus/ beside it.
function(sp_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY SP_FUZZERS ${F_NAME})
  add_dependencies(fuzzers ${F_NAME})
endfunction()

# sp_bench(NAME <name> SOURCES <files>... LIBS <targets>...)
function(sp_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
