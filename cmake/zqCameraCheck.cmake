# The camera build's compile check. A camera build links the camera's closed libraries, which
# are not in this tree, so here it cannot link; the target `camera_objects` compiles every source
# of the daemon, its libraries and its tools against the platform contracts in platform/include
# alone, and stops before linking. It keeps daemon code from depending on the simulated camera:
# with ZQ_PLATFORM=camera the simulator is not part of the build at all.
#
#   cmake --preset camera && cmake --build --preset camera

# Every target defined in `dir` and below it.
function(zq_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    zq_targets_below(${sub} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(zq_add_camera_check)
  zq_targets_below(${CMAKE_SOURCE_DIR} targets)
  add_custom_target(camera_objects)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(libs ${t} LINK_LIBRARIES)
    if(libs AND libs MATCHES "(^|;)zqsim")
      message(FATAL_ERROR "${t} links the simulated camera (${libs}); daemon code reaches the "
                          "camera only through platform/include")
    endif()
    if(NOT type STREQUAL "EXECUTABLE")
      add_dependencies(camera_objects ${t})
      continue()
    endif()
    # A program's objects without its link: the same sources and compile settings in an object
    # library.
    get_target_property(dir ${t} SOURCE_DIR)
    get_target_property(sources ${t} SOURCES)
    set(absolute)
    foreach(s ${sources})
      if(NOT IS_ABSOLUTE ${s})
        set(s ${dir}/${s})
      endif()
      list(APPEND absolute ${s})
    endforeach()
    add_library(${t}_objects OBJECT EXCLUDE_FROM_ALL ${absolute})
    foreach(property INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS)
      get_target_property(value ${t} ${property})
      if(value)
        set_property(TARGET ${t}_objects PROPERTY ${property} ${value})
      endif()
    endforeach()
    if(libs)
      target_link_libraries(${t}_objects PRIVATE ${libs})
    endif()
    add_dependencies(camera_objects ${t}_objects)
  endforeach()
endfunction()

zq_add_camera_check()
