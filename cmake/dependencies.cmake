# Third-party code comes from Debian packages only:
#   nlohmann-json3-dev          /usr/include/nlohmann
#   libboost-regex1.81-dev      /usr/include/boost (Boost.Regex used header-only, standalone)
#   googletest                  /usr/src/googletest (built here for whichever toolchain is active)
find_package(Threads REQUIRED)

set(WIRELUX_SYSTEM_INCLUDE /usr/include CACHE PATH "Where the Debian header-only packages live")
foreach(header nlohmann/json.hpp boost/regex.hpp)
  if(NOT EXISTS ${WIRELUX_SYSTEM_INCLUDE}/${header})
    message(FATAL_ERROR "${WIRELUX_SYSTEM_INCLUDE}/${header} is missing; run scripts/install-deps")
  endif()
endforeach()

# The cross compiler must not see the whole of /usr/include (glibc headers would shadow MinGW's),
# so the header-only libraries are exposed through a directory that holds only links to them.
set(WIRELUX_DEPS_INCLUDE ${CMAKE_BINARY_DIR}/deps-include)
file(MAKE_DIRECTORY ${WIRELUX_DEPS_INCLUDE})
foreach(dir nlohmann boost)
  if(NOT EXISTS ${WIRELUX_DEPS_INCLUDE}/${dir})
    file(CREATE_LINK ${WIRELUX_SYSTEM_INCLUDE}/${dir} ${WIRELUX_DEPS_INCLUDE}/${dir} SYMBOLIC)
  endif()
endforeach()

add_library(wirelux_deps INTERFACE)
target_include_directories(wirelux_deps SYSTEM INTERFACE ${WIRELUX_DEPS_INCLUDE})
target_compile_definitions(wirelux_deps INTERFACE BOOST_REGEX_STANDALONE JSON_USE_IMPLICIT_CONVERSIONS=0)

if(WIRELUX_BUILD_TESTS)
  set(WIRELUX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
  if(NOT EXISTS ${WIRELUX_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "${WIRELUX_GTEST_SOURCE} is missing; run scripts/install-deps")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${WIRELUX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
