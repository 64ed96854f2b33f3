# Project-wide target helpers: warnings as errors on our own code, and a way for
# each folder to register its tests without touching a shared list.

function(orvelle_project_target target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
    # GCC 12's optimiser reports standard-library string and vector copies as
    # overlapping, out of bounds or over-reading (GCC bugs 105651, 107852,
    # 106199). Optimised builds leave these warnings out; Debug and the
    # sanitizer builds keep them.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE
        $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict -Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow>)
    endif()
  endif()
endfunction()

# add_subdirectory for every listed folder that has a CMakeLists.txt, so that
# areas can land one at a time.
function(orvelle_add_present_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# orvelle_add_gtest(NAME name SOURCES ... LIBS ... LABELS ... [ENV ...])
# One GoogleTest executable, its cases registered with CTest one by one.
function(orvelle_add_gtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  orvelle_project_target(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # A cross build lists the cases when the tests run (under the emulator),
  # so that building needs no Wine.
  if(CMAKE_CROSSCOMPILING)
    set(discovery PRE_TEST)
  else()
    set(discovery POST_BUILD)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE ${discovery}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} SKIP_RETURN_CODE 77)
  # Labels and environment are lists, which gtest_discover_tests' PROPERTIES
  # cannot carry (CMake 3.25 splits them); a script that CTest runs after the
  # discovered tests are known sets them instead.
  set(properties ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_properties.cmake)
  file(WRITE ${properties}
    "if(${T_NAME}_TESTS)\n"
    "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES\n"
    "    LABELS [==[${T_LABELS}]==] ENVIRONMENT [==[${T_ENV}]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
endfunction()

# nlohmann-json is header-only. A cross build takes it from the host through a
# folder that holds nothing else: the host's /usr/include would shadow the
# cross compiler's own headers.
macro(orvelle_find_json)
  if(CMAKE_CROSSCOMPILING)
    if(NOT TARGET nlohmann_json::nlohmann_json)
      set(_orvelle_json_dir ${CMAKE_BINARY_DIR}/host-headers)
      file(MAKE_DIRECTORY ${_orvelle_json_dir})
      file(CREATE_LINK /usr/include/nlohmann ${_orvelle_json_dir}/nlohmann SYMBOLIC)
      add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
      target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${_orvelle_json_dir})
    endif()
  else()
    find_package(nlohmann_json 3.10 REQUIRED)
  endif()
endmacro()

# orvelle_add_build_tool(<name> SOURCES ... LIBS ...): a program that the build
# itself runs (to draw icons, seal packs). A cross build cannot run its own, so
# it takes the one of a native build of this project, in ORVELLE_HOST_TOOLS_DIR.
set(ORVELLE_HOST_TOOLS_DIR "" CACHE PATH "A native build's bin folder, for a cross build's tools")
function(orvelle_add_build_tool name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    if(NOT ORVELLE_HOST_TOOLS_DIR)
      message(FATAL_ERROR "${name} runs while building: set ORVELLE_HOST_TOOLS_DIR to the bin "
                          "folder of a native build of this project")
    endif()
    add_executable(${name} IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${ORVELLE_HOST_TOOLS_DIR}/${name})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  orvelle_project_target(${name})
endfunction()

# orvelle_window_program(<target> <console|calibration>): a program with windows.
# On Windows it opens no console window of its own and carries the family's
# icon (drawn in resources/), which Explorer and the Start menu show.
function(orvelle_window_program target variant)
  if(NOT WIN32)
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/resources/icons/${variant})
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  target_sources(${target} PRIVATE ${dir}/app.rc)
  set_source_files_properties(${dir}/app.rc PROPERTIES OBJECT_DEPENDS ${dir}/app.ico)
  add_dependencies(${target} orvelle-${variant}-icon)
endfunction()
