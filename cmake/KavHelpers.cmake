# Import library with undecorated names that still carry the @N of each
# __stdcall function, so that a GCC client links against Name@N.
# `import_def` lists the decorated names alone (generated beside the export
# list); -k drops the @N from the name that is looked up in the DLL.
function(kav_import_library target import_def)
  set(out ${CMAKE_BINARY_DIR}/lib/lib${target}.a)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -k -d ${import_def} -D $<TARGET_FILE_NAME:${target}> -l ${out}
    BYPRODUCTS ${out}
    COMMENT "import library for ${target}"
    VERBATIM)
  set_property(TARGET ${target} PROPERTY KAV_IMPORT_LIB ${out})
endfunction()

# Wine-run test: one CTest entry per test program.
function(kav_add_test name)
  add_test(NAME ${name} COMMAND ${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# Every target of our own is hardened the way the kit hardens a command
# (kavlink_harden): the shipped PEs, and the tests that run their code.
# KAV_HARDENING=OFF leaves the library, kavhost and the tests without it, to
# measure what the guard costs; install_release_sections fails on such a
# build.
option(KAV_HARDENING "Stack guard, fortified calls, ASLR and DEP for our own targets" ON)
include(${CMAKE_CURRENT_LIST_DIR}/../commands/kit/KavlinkCommand.cmake)

# kav_suppress_warnings(<target> <-Wno-...>...): warnings that this one
# target switches off (kav_apply_build_rules adds them after the shared
# options).  State the reason beside the call.
function(kav_suppress_warnings target)
  set_property(TARGET ${target} APPEND PROPERTY KAV_WARNING_SUPPRESSIONS ${ARGN})
endfunction()

# The warning rules for every target defined below `dir` in our own source
# tree: the shared options, then the target's own suppressions; directories
# outside it (GoogleTest) are left as they are.
function(kav_apply_build_rules dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY|STATIC_LIBRARY|OBJECT_LIBRARY)$")
      target_compile_options(${t} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:${KAV_WARNING_OPTIONS}>)
      get_target_property(suppressed ${t} KAV_WARNING_SUPPRESSIONS)
      if(suppressed)
        target_compile_options(${t} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:${suppressed}>)
      endif()
      if(KAV_HARDENING)
        kavlink_harden(${t})
      endif()
      if(KAV_WERROR)
        target_compile_options(${t} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
        if(NOT type MATCHES "^(STATIC|OBJECT)_LIBRARY$")
          target_link_options(${t} PRIVATE -Wl,--fatal-warnings)
        endif()
      endif()
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${sub}" NORMALIZE inside)
    if(inside)
      kav_apply_build_rules(${sub})
    endif()
  endforeach()
endfunction()
