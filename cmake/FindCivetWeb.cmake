# Finds the CivetWeb C library from its development package (header and shared library only).
#
# Debian's libcivetweb-dev also ships a CMake package configuration, but that one imports the
# `civetweb` server program from a separate package and fails when it is not installed. The
# daemon needs only the library, so we look for the two files we use and define the target
# ourselves.
#
# Defines the imported target civetweb::civetweb and CivetWeb_VERSION.

find_path(CivetWeb_INCLUDE_DIR NAMES civetweb.h)
find_library(CivetWeb_LIBRARY NAMES civetweb)

if(CivetWeb_INCLUDE_DIR AND EXISTS "${CivetWeb_INCLUDE_DIR}/civetweb.h")
  file(STRINGS "${CivetWeb_INCLUDE_DIR}/civetweb.h" _zq_civetweb_version_line
       REGEX "^#define CIVETWEB_VERSION \"[0-9.]+\"")
  string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" CivetWeb_VERSION "${_zq_civetweb_version_line}")
  unset(_zq_civetweb_version_line)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(CivetWeb
  REQUIRED_VARS CivetWeb_LIBRARY CivetWeb_INCLUDE_DIR
  VERSION_VAR CivetWeb_VERSION)

if(CivetWeb_FOUND AND NOT TARGET civetweb::civetweb)
  add_library(civetweb::civetweb UNKNOWN IMPORTED)
  set_target_properties(civetweb::civetweb PROPERTIES
    IMPORTED_LOCATION "${CivetWeb_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${CivetWeb_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "${CMAKE_DL_LIBS}")
endif()
mark_as_advanced(CivetWeb_INCLUDE_DIR CivetWeb_LIBRARY)
