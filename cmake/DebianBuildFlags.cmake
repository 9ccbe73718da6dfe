# The compiler and linker flags Debian builds its packages with (hardening included), taken
# from dpkg-buildflags so that the package's binaries are built as any Debian package is.
option(TOLVANE_DEBIAN_BUILD_FLAGS "Add the flags of dpkg-buildflags (hardening=+all)" OFF)
if(TOLVANE_DEBIAN_BUILD_FLAGS)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  function(tolvane_buildflags variable out)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${DPKG_BUILDFLAGS} --get ${variable}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    set(${out} "${flags}" PARENT_SCOPE)
  endfunction()
  tolvane_buildflags(CPPFLAGS cppflags)
  tolvane_buildflags(CXXFLAGS cxxflags)
  tolvane_buildflags(LDFLAGS ldflags)
  string(APPEND CMAKE_CXX_FLAGS " ${cppflags} ${cxxflags}")
  string(APPEND CMAKE_EXE_LINKER_FLAGS " ${ldflags}")
endif()
