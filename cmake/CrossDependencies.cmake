# What the Windows cross build takes from the build machine: Debian ships no
# MinGW packages of nlohmann-json or GoogleTest, but the one is header-only and
# the other comes as source.
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()

# nlohmann-json: its headers alone, through a folder holding nothing else, so
# that the build machine's /usr/include never reaches the cross compiler.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(json_root ${CMAKE_BINARY_DIR}/cross-include)
  file(MAKE_DIRECTORY ${json_root})
  if(NOT EXISTS ${json_root}/nlohmann)
    file(CREATE_LINK /usr/include/nlohmann ${json_root}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(nlohmann_json SYSTEM INTERFACE ${json_root})
  add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)
  set(nlohmann_json_FOUND TRUE)
endif()

# GoogleTest built from Debian's source with the cross compiler.
if(RAIDGUI_BUILD_TESTS AND NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
  set(GTest_FOUND TRUE)
endif()
