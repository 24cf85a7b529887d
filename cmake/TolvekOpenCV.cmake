# Locates the OpenCV modules the program uses (core, imgproc, videoio) and defines the imported
# target tolvek::opencv. OpenCV's own package configuration is used where it is installed; on
# Debian it comes only with libopencv-dev and its many dependencies, so otherwise the headers and
# libraries of the module packages are found directly.
set(TOLVEK_OPENCV_MODULES core imgproc videoio)

find_package(OpenCV QUIET CONFIG COMPONENTS ${TOLVEK_OPENCV_MODULES})
add_library(tolvek::opencv INTERFACE IMPORTED)
if(OpenCV_FOUND)
  target_include_directories(tolvek::opencv INTERFACE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(tolvek::opencv INTERFACE ${OpenCV_LIBS})
  return()
endif()

find_path(TOLVEK_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
set(missing)
if(NOT TOLVEK_OPENCV_INCLUDE_DIR)
  list(APPEND missing "headers (opencv2/core.hpp)")
endif()
foreach(module ${TOLVEK_OPENCV_MODULES})
  find_library(TOLVEK_OPENCV_${module}_LIBRARY opencv_${module})
  if(TOLVEK_OPENCV_${module}_LIBRARY)
    target_link_libraries(tolvek::opencv INTERFACE ${TOLVEK_OPENCV_${module}_LIBRARY})
  else()
    list(APPEND missing "opencv_${module}")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "OpenCV not found (${missing}). On Debian: apt-get install "
                      "libopencv-core-dev libopencv-imgproc-dev libopencv-videoio-dev")
endif()
target_include_directories(tolvek::opencv INTERFACE ${TOLVEK_OPENCV_INCLUDE_DIR})
message(STATUS "OpenCV modules: ${TOLVEK_OPENCV_INCLUDE_DIR}")
