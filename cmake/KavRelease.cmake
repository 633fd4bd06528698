# Version resources and release copies of the shipped binaries.
#
# The project has one version, project(... VERSION x.y.z): kavlink.dll and
# kavhost.exe carry it in their version resource (x.y.z.0), the installer
# package takes it as ProductVersion.  The command components keep their own
# fixed 1.0.0.0 resource (commands/common/component.rc.in).
#
# Every shipped binary also gets a release copy in ${KAV_RELEASE_DIR}:
# stripped of its symbols and DWARF sections, with a .gnu_debuglink to the
# debug file kept in ${KAV_RELEASE_DIR}/debug.  The build tree's own bin/
# keeps the unstripped files that the tests run.

set(KAV_VENDOR "Kavlink project")
set(KAV_COPYRIGHT "Copyright (C) 2026 Kavlink project")
set(KAV_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
set(KAV_OBJCOPY ${CMAKE_OBJCOPY})
if(NOT KAV_OBJCOPY)
  find_program(KAV_OBJCOPY ${TOOLCHAIN_PREFIX}-objcopy REQUIRED)
endif()

# Adds a VERSIONINFO with the project version to `target`.
function(kav_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(KAV_VERSION_FILETYPE VFT_APP)
    set(suffix .exe)
  else()
    set(KAV_VERSION_FILETYPE VFT_DLL)
    set(suffix .dll)
  endif()
  set(KAV_VERSION_FILE ${target}${suffix})
  set(KAV_VERSION_INTERNAL ${target})
  set(KAV_VERSION_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The stripped release copy of `target` and its debug file, remade when the
# target is relinked; installed into the prefix and into debug/.  Returns
# the release file's path in `out_var`.
function(kav_release_binary target out_var)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(name ${target}.exe)
  else()
    set(name ${target}.dll)
  endif()
  set(debug ${KAV_RELEASE_DIR}/debug/${name}.debug)
  set(release ${KAV_RELEASE_DIR}/${name})
  add_custom_command(OUTPUT ${release} ${debug}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KAV_RELEASE_DIR}/debug
    COMMAND ${KAV_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
    COMMAND ${KAV_OBJCOPY} --strip-all --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}> ${release}
    DEPENDS ${target}
    COMMENT "release copy of ${name}"
    VERBATIM)
  install(PROGRAMS ${release} DESTINATION .)
  install(FILES ${debug} DESTINATION debug)
  set(${out_var} ${release} PARENT_SCOPE)
endfunction()
