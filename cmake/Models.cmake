# Detector models: taken from AUTOFRAME_MODELS_DIR, checked against their pinned sha256 and built
# into the binary, so that the helper reads no file but the video. C++ sees them through
# platform/onnx/models.h as spans of bytes.
#
# Each entry: C++ function name, file name, sha256, and for a file made here from another one the
# script that makes it and that file's name. A made file is written into the build folder by
# the script (with AUTOFRAME_PYTHON, which needs python3-onnx) from the checked source file, at
# configure time and again whenever it is missing, differs or the script changes; it must then
# have its pinned sha256 like the others (tests/fetch_models_test.sh checks the script gives
# exactly it). The provenance of each taken file is recorded next to the files;
# scripts/fetch-models.sh downloads the same files.
set(AUTOFRAME_PYTHON "/usr/bin/python3" CACHE FILEPATH
    "Python with the onnx module (Debian's python3-onnx), for the models made at configure time")
set(autoframe_model_list
  "faceModel|yunet_n_dynamic.onnx|104ee26c71d5c270ce79a6b3dced91c91013260d29a6bf18f9296c5b8c4c2b12"
  # YOLOX-nano reading the picture as 12 planes by row and column parity: its own slicing of the
  # picture into them, the first step of the graph, costs more than filling them while scaling.
  "humanModel|yolox_nano_unsliced.onnx|9d41f630e1a98c7d939c541b385117d9650ad5a3200427e28ba7c1dc87d7479a|make-unsliced-model.py|yolox_nano_dynamic.onnx")
# The files the made ones are made from, checked like the others.
set(autoframe_model_sources
  "yolox_nano_dynamic.onnx|445e70de1c9b17c53bebdb7c999a9b6a2262e0251b62131e31d2144685072148")

set(autoframe_models_out "${CMAKE_BINARY_DIR}/models")
file(MAKE_DIRECTORY "${autoframe_models_out}")
set(autoframe_models_source "${autoframe_models_out}/embedded_models.cpp")

function(autoframe_check_model file_name expected_sha256)
  cmake_path(ABSOLUTE_PATH file_name BASE_DIRECTORY "${AUTOFRAME_MODELS_DIR}" NORMALIZE
             OUTPUT_VARIABLE path)
  autoframe_check_file("${path}" "${expected_sha256}" "Detector model"
    "Put ${file_name} (sha256 ${expected_sha256}) into that folder, run scripts/fetch-models.sh on a machine with internet access, or point -DAUTOFRAME_MODELS_DIR=<folder> at the models."
    "")
  # Embed (or make from) the checked copy, so that a later change of the original cannot slip in
  # unchecked; a change of the original makes CMake configure (and check) again.
  configure_file("${path}" "${autoframe_models_out}/${file_name}" COPYONLY)
endfunction()

foreach(entry IN LISTS autoframe_model_sources)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 file_name)
  list(GET entry 1 expected_sha256)
  autoframe_check_model("${file_name}" "${expected_sha256}")
endforeach()

set(embedded_asm "")
set(embedded_cpp "")
foreach(entry IN LISTS autoframe_model_list)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 function)
  list(GET entry 1 file_name)
  list(GET entry 2 expected_sha256)
  list(LENGTH entry fields)
  if(fields EQUAL 3)
    autoframe_check_model("${file_name}" "${expected_sha256}")
  else()
    list(GET entry 3 script)
    list(GET entry 4 made_from)
    set(made "${autoframe_models_out}/${file_name}")
    set(script "${CMAKE_SOURCE_DIR}/scripts/${script}")
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${script}")
    set(made_sha256 "")
    if(EXISTS "${made}")
      file(SHA256 "${made}" made_sha256)
    endif()
    if(NOT made_sha256 STREQUAL expected_sha256 OR "${script}" IS_NEWER_THAN "${made}" OR
       "${autoframe_models_out}/${made_from}" IS_NEWER_THAN "${made}")
      message(STATUS "Making ${file_name} from ${made_from}")
      execute_process(
        COMMAND "${AUTOFRAME_PYTHON}" "${script}" "${autoframe_models_out}/${made_from}" "${made}.part"
        RESULT_VARIABLE status ERROR_VARIABLE problem)
      if(NOT status EQUAL 0)
        file(REMOVE "${made}.part")
        message(FATAL_ERROR "Cannot make ${file_name} from ${made_from} with ${script}: ${problem}"
          "It needs ${AUTOFRAME_PYTHON} with the onnx module (scripts/setup.sh installs python3-onnx; "
          "-DAUTOFRAME_PYTHON=<python> names another).")
      endif()
      file(RENAME "${made}.part" "${made}")
    endif()
    autoframe_check_file("${made}" "${expected_sha256}" "Detector model made by ${script}"
      "Delete it and configure again; if it still differs, the script or the onnx module is not the pinned one."
      "")
  endif()
  set(symbol "autoframe_model_${function}")
  string(APPEND embedded_asm
    "    \".balign 64\\n\"\n"
    "    \"${symbol}_begin:\\n\"\n"
    "    \".incbin \\\"${autoframe_models_out}/${file_name}\\\"\\n\"\n"
    "    \"${symbol}_end:\\n\"\n")
  string(APPEND embedded_cpp
    "extern \"C\" const std::byte ${symbol}_begin[];\n"
    "extern \"C\" const std::byte ${symbol}_end[];\n"
    "std::span<const std::byte> ${function}() {\n"
    "    return {${symbol}_begin, static_cast<std::size_t>(${symbol}_end - ${symbol}_begin)};\n"
    "}\n")
  list(APPEND autoframe_model_files "${autoframe_models_out}/${file_name}")
endforeach()

# Written only when its text changes, so that a reconfigure does not rebuild it.
file(CONFIGURE OUTPUT "${autoframe_models_source}" @ONLY CONTENT [=[
// Generated by cmake/Models.cmake: the detector models, checked against their sha256.
#include "platform/onnx/models.h"

// The symbols stay local to this object; only the functions below are visible.
__asm__(
    ".pushsection .rodata.autoframe_models,\"a\",@progbits\n"
@embedded_asm@    ".popsection\n");

namespace autoframe {

@embedded_cpp@
}  // namespace autoframe
]=])

add_library(autoframe_models STATIC "${autoframe_models_source}")
target_include_directories(autoframe_models PUBLIC "${CMAKE_SOURCE_DIR}")
set_source_files_properties("${autoframe_models_source}" PROPERTIES
  OBJECT_DEPENDS "${autoframe_model_files}")
