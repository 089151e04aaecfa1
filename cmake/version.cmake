# Writes OUTPUT, a header defining EGF_VERSION: the project's version and, in
# a build from a git clone, what `git describe` says of the checkout, so a
# binary built between releases or from changed sources says so. Run at build
# time (cmake -P), so each build carries the checkout it was built from; the
# file is rewritten only when its text changes, so an unchanged version
# rebuilds nothing.
#
# In: PROJECT_VERSION, SOURCE_DIR, OUTPUT, GIT_EXECUTABLE (may be empty).

set(version "${PROJECT_VERSION}")
if(GIT_EXECUTABLE)
  # Only the sources' own repository counts: a tarball unpacked inside some
  # other checkout must not take that checkout's history for its own.
  execute_process(
    COMMAND "${GIT_EXECUTABLE}" rev-parse --show-toplevel
    WORKING_DIRECTORY "${SOURCE_DIR}"
    OUTPUT_VARIABLE toplevel OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0)
    get_filename_component(toplevel "${toplevel}" REALPATH)
    get_filename_component(source "${SOURCE_DIR}" REALPATH)
    if(toplevel STREQUAL source)
      execute_process(
        COMMAND "${GIT_EXECUTABLE}" describe --tags --always --dirty
                --match "v[0-9]*"
        WORKING_DIRECTORY "${SOURCE_DIR}"
        OUTPUT_VARIABLE describe OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status ERROR_QUIET)
      # A checkout of the release's own tag is that release.
      if(status EQUAL 0 AND NOT describe STREQUAL "v${PROJECT_VERSION}")
        set(version "${PROJECT_VERSION} (git ${describe})")
      endif()
    endif()
  endif()
endif()

set(EGF_VERSION "${version}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/version.h.in" "${OUTPUT}" @ONLY)
