# Files the build takes from outside the repository (detector models, ONNX Runtime), each pinned by
# its sha256: the configure stops with a message naming the file when one is missing or differs.

# Checks `path` against `expected_sha256`. `what` names the kind of file in the messages, `hint`
# says where to get it; `pinned` says what the pinned file is (for example its version).
function(autoframe_check_file path expected_sha256 what hint pinned)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${what} missing: ${path}\n${hint}")
  endif()
  file(SHA256 "${path}" actual_sha256)
  if(NOT actual_sha256 STREQUAL expected_sha256)
    message(FATAL_ERROR
      "${what} differs from the pinned one${pinned}: ${path}\n"
      "  expected sha256 ${expected_sha256}\n"
      "  found    sha256 ${actual_sha256}")
  endif()
  # Configure again (and check again) when the file changes.
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
endfunction()
