# The logic and its tests must build without FFmpeg, OpenCV, ONNX Runtime or the models: a
# configure-time check that walks a target's link libraries, and theirs in turn.

set(autoframe_platform_links autoframe_platform autoframe_ffmpeg autoframe_onnx autoframe_opencv
    autoframe_posix autoframe_models autoframe_onnxruntime autoframe_review PkgConfig::LIBAV)

function(autoframe_collect_links target out)
  set(seen ${${out}})
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(links ${target} ${property})
    if(NOT links)
      continue()
    endif()
    foreach(link ${links})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(link IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${link})
      if(TARGET ${link})
        autoframe_collect_links(${link} seen)
      endif()
    endforeach()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Stops the configure when any of the given targets reaches a platform library.
function(autoframe_check_logic_links)
  foreach(target ${ARGN})
    set(links "")
    autoframe_collect_links(${target} links)
    foreach(link ${links})
      if(link IN_LIST autoframe_platform_links
         OR link MATCHES "^opencv_|^PkgConfig::|avcodec|avformat|onnxruntime")
        message(FATAL_ERROR "${target} links ${link}: the logic and its tests link no platform "
                            "library (list the test in platform_tests in tests/CMakeLists.txt, "
                            "or reach the platform through an interface in core/)")
      endif()
    endforeach()
  endforeach()
endfunction()
