# Import library with undecorated names that still carry the @N of each
# __stdcall function, so that a GCC client links against Name@N.
function(kav_import_library target def_file)
  set(out ${CMAKE_BINARY_DIR}/lib/lib${target}.a)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -k -d ${def_file} -D $<TARGET_FILE_NAME:${target}> -l ${out}
    COMMENT "import library for ${target}"
    VERBATIM)
  set_property(TARGET ${target} PROPERTY KAV_IMPORT_LIB ${out})
endfunction()

# Wine-run test: one CTest entry per test program.
function(kav_add_test name)
  add_test(NAME ${name} COMMAND ${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
