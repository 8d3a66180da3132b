# lk_delay_load(<target> <dll>...): the target loads these system DLLs at the
# first call of one of their functions instead of at process start (a DLL
# that the start-up path never calls is never loaded before the window is
# up). The delay-load libraries must come before the ordinary import
# libraries on the link line and after every archive that calls them, so
# they are linked after the given archives (<target>'s own libraries).
function(lk_delay_load target)
  cmake_parse_arguments(arg "" "" "AFTER;DLLS" ${ARGN})
  set(folder ${CMAKE_BINARY_DIR}/delayload)
  file(MAKE_DIRECTORY ${folder})
  set(x86 OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(x86 ON)
  endif()
  set(libs)
  foreach(dll IN LISTS arg_DLLS)
    find_library(LK_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED)
    set(out ${folder}/lib${dll}_delay.a)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL} -DIMPORT_LIB=${LK_IMPORT_LIB_${dll}}
              -DDLL=${dll}.dll -DDEF=${folder}/${dll}.def -DOUT=${out} -DX86=${x86}
              -P ${PROJECT_SOURCE_DIR}/cmake/MakeDelayImport.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/cmake/MakeDelayImport.cmake
      COMMENT "Delay-load import library for ${dll}.dll")
    list(APPEND libs ${out})
  endforeach()
  add_custom_target(${target}_delayload DEPENDS ${libs})
  add_dependencies(${target} ${target}_delayload)
  target_link_libraries(${target} PRIVATE ${arg_AFTER} ${libs} delayimp)
endfunction()
