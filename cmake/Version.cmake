# lk_version_resource(target "description"): gives a Windows program a
# version resource (file and product version from the project's version).
function(lk_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(LK_VERSION_DESCRIPTION "${description}")
  set(LK_VERSION_NAME "${target}")
  set(LK_VERSION_FILE "${target}.exe")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
