# ONNX Runtime, the engine that runs the detector models: its C API headers and its CPU library
# (scripts/fetch-onnxruntime.sh puts the library into .deps/). Both are checked against their
# pinned sha256, and the target `autoframe_onnxruntime` carries them to whatever links it. The
# binaries find the library with no environment variable: built ones through a RUNPATH to its
# folder, installed ones beside themselves ($ORIGIN, where `cmake --install` puts it).
set(AUTOFRAME_ONNXRUNTIME_INCLUDE_DIR "${CMAKE_SOURCE_DIR}/../shared/onnxruntime/include" CACHE PATH
    "Folder holding ONNX Runtime's C API headers (onnxruntime_c_api.h)")
set(AUTOFRAME_ONNXRUNTIME_LIBRARY "${CMAKE_SOURCE_DIR}/.deps/onnxruntime/libonnxruntime.so.1"
    CACHE FILEPATH "ONNX Runtime's CPU library, libonnxruntime.so.1")

set(autoframe_onnxruntime_files
  "${AUTOFRAME_ONNXRUNTIME_INCLUDE_DIR}/onnxruntime_c_api.h|acc0cf4b3f28d39339c76770d76164bb7a0637dc89f5fde764b4017b632f6743"
  "${AUTOFRAME_ONNXRUNTIME_INCLUDE_DIR}/onnxruntime_ep_c_api.h|e6c986c9e98583f8113b2c6bc3864814883b806d501cf24da4d239c45753e235"
  "${AUTOFRAME_ONNXRUNTIME_INCLUDE_DIR}/onnxruntime_error_code.h|5ce3b054e798eced8d14f5b86e98692fd33470463f96194ce0700a2d53dd8721"
  "${AUTOFRAME_ONNXRUNTIME_LIBRARY}|89688f5cf51c7e31befbb7b9101bc027799009b18d1baa9a5b1146a72e69538d")
foreach(entry IN LISTS autoframe_onnxruntime_files)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 path)
  list(GET entry 1 expected_sha256)
  autoframe_check_file("${path}" "${expected_sha256}" "ONNX Runtime file"
    "Run scripts/setup.sh (or scripts/fetch-onnxruntime.sh for the library), or point -DAUTOFRAME_ONNXRUNTIME_INCLUDE_DIR / -DAUTOFRAME_ONNXRUNTIME_LIBRARY at the files."
    " (1.29.0)")
endforeach()

add_library(autoframe_onnxruntime SHARED IMPORTED GLOBAL)
set_target_properties(autoframe_onnxruntime PROPERTIES
  IMPORTED_LOCATION "${AUTOFRAME_ONNXRUNTIME_LIBRARY}"
  IMPORTED_SONAME "libonnxruntime.so.1")
target_include_directories(autoframe_onnxruntime SYSTEM INTERFACE "${AUTOFRAME_ONNXRUNTIME_INCLUDE_DIR}")
# RUNPATH rather than RPATH, so that LD_LIBRARY_PATH could still override it when someone must.
target_link_options(autoframe_onnxruntime INTERFACE "LINKER:--enable-new-dtags")
