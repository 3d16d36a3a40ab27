# Shared build helpers: warnings, sanitizers and test registration.

if(ROMHAUL_FUZZ)
  # Every library is instrumented for coverage; only the *_fuzzer binaries link libFuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ROMHAUL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ROMHAUL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(ROMHAUL_LSAN)
  add_compile_options(-fsanitize=leak -fno-omit-frame-pointer)
  add_link_options(-fsanitize=leak)
endif()
# Resolve every symbol at start-up and make the relocation tables read-only after it, as
# Debian builds its packages (lintian's hardening-no-bindnow).
add_link_options(LINKER:-z,relro,-z,now)

# Our own code builds warning-free; third-party headers are included as SYSTEM.
function(romhaul_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # g++ 12 at -O3 reports overlapping copies inside std::string's own inlined code
  # (GCC bug 105329), which would stop every Release build; it stays a warning there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-error=restrict)
  endif()
endfunction()

# romhaul_library(name SOURCES ... DEPS ...): the static library of one folder.
function(romhaul_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  romhaul_warnings(${name})
endfunction()

set_property(GLOBAL PROPERTY ROMHAUL_UNIT_TESTS "")

# romhaul_unit_test(name SOURCES ... DEPS ...): a GoogleTest binary labelled "unit".
function(romhaul_unit_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  romhaul_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS unit TIMEOUT ${A_TIMEOUT})
  set_property(GLOBAL APPEND PROPERTY ROMHAUL_UNIT_TESTS ${name})
endfunction()

# romhaul_gui_test(name SOURCES ... DEPS ...): a GoogleTest binary that drives real
# Qt widgets on the offscreen platform; labelled "gui".
function(romhaul_gui_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT ROMHAUL_GUI OR NOT ROMHAUL_GUI_TESTS)
    return()
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} romhaul_gui_test_main Qt6::Test GTest::gtest)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  romhaul_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS gui TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# One target that builds every unit test binary (the sanitizer pass of ./test).
function(romhaul_finish_test_targets)
  get_property(tests GLOBAL PROPERTY ROMHAUL_UNIT_TESTS)
  add_custom_target(unit_tests)
  if(tests)
    add_dependencies(unit_tests ${tests})
  endif()
endfunction()

# Stops the configuration when a library below app/ links Qt, directly or through another.
function(romhaul_check_no_qt)
  foreach(target ${ARGN})
    set(queue ${target})
    set(seen "")
    while(queue)
      list(POP_FRONT queue current)
      if(current IN_LIST seen OR NOT TARGET ${current})
        continue()
      endif()
      list(APPEND seen ${current})
      get_target_property(links ${current} LINK_LIBRARIES)
      get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
      foreach(link ${links} ${interface})
        if(link MATCHES "^Qt[0-9]*::")
          message(FATAL_ERROR "${target} links ${link} (through ${current}): Qt belongs to app/")
        endif()
        list(APPEND queue ${link})
      endforeach()
    endwhile()
  endforeach()
endfunction()
