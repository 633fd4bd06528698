# kavlink_add_command(<name> IDENTITY <header> SOURCES <file>... [RESOURCES <rc>...])
#
# Builds the command component <name>.dll: an in-process COM server whose
# class MorvikVbCommand carries the 17 events of _MorvikVbCommand.  The
# author writes the identity header, the start steps (command_steps.h) and
# the dialog; the frame (class factory, registration, IDispatch, the start
# skeleton, the string box hook, late binding of kavlink.dll) comes from
# ${KAVLINK_FRAME_TARGET}.  From the identity header the function generates
# the type library (widl), the resource script (TYPELIB 1, the
# _IID_MORVIKVBCOMMAND resource, the version block) and the definition of
# ThisComponent().
#
# Both targets are hardened (kavlink_harden below: stack guard, fortified
# calls, ASLR and DEP).
#
# Targets made:
#   <name>_command   static library: SOURCES, the identity, the frame
#                    (link it into unit tests of the command)
#   <name>           the component DLL, exports from command_server.def
#
# The identity header holds these lines, and nothing else is read from it:
#   #define KAVCMD_NAME "hello"          type library name = file name
#   #define KAVCMD_LIBID "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"
#   #define KAVCMD_LIB_MAJOR 1
#   #define KAVCMD_LIB_MINOR 0
#   #define KAVCMD_CLSID "..."           class MorvikVbCommand
#   #define KAVCMD_IID "..."             interface _MorvikVbCommand
#   #define KAVCMD_HWND_PARAM "hWnd"     first parameter of VokProcStartCmd
#
# Settings read by the function (the kit's package sets them, the source
# tree sets its own):
#   KAVLINK_TEMPLATE_DIR   morvik_command.idl.in, component.rc.in,
#                          identity_definition.cpp.in, command_server.def,
#                          command_icon.rc
#   KAVLINK_IDL_TEMPLATE   the IDL template, if not the one of
#                          KAVLINK_TEMPLATE_DIR (optional)
#   KAVLINK_FRAME_TARGET   the frame library target
#   KAVLINK_WIDL           the widl program
#   KAVLINK_WIDL_INCLUDE   folder of oaidl.idl and the files it imports
#   KAVLINK_WIDL_TLB_PATH  folder of stdole2.tlb
#   KAVLINK_DLL            kavlink.dll to copy beside the component (optional)

include_guard(GLOBAL)

# Reads the KAVCMD_* lines of `header` into variables of the caller's scope
# and derives KAVCMD_IID_WORDS, the IID as resource words.
function(kavlink_read_identity header)
  if(NOT EXISTS "${header}")
    message(FATAL_ERROR "kavlink_add_command: identity header ${header} does not exist")
  endif()
  file(STRINGS "${header}" lines REGEX "^#define KAVCMD_")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#define (KAVCMD_[A-Z_]+) +\"?([^\"]*)\"?$")
      set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
      set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}" PARENT_SCOPE)
    endif()
  endforeach()
  foreach(required NAME LIBID LIB_MAJOR LIB_MINOR CLSID IID HWND_PARAM)
    if(NOT DEFINED KAVCMD_${required})
      message(FATAL_ERROR "kavlink_add_command: ${header} lacks #define KAVCMD_${required}")
    endif()
  endforeach()
  foreach(guid LIBID CLSID IID)
    string(REGEX REPLACE "[0-9A-Fa-f]" "x" shape "${KAVCMD_${guid}}")
    if(NOT shape STREQUAL "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx")
      message(FATAL_ERROR "kavlink_add_command: KAVCMD_${guid} \"${KAVCMD_${guid}}\" in ${header} is not a GUID "
                          "of the form XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX (no braces)")
    endif()
  endforeach()
  if(NOT KAVCMD_NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "kavlink_add_command: KAVCMD_NAME \"${KAVCMD_NAME}\" is not an identifier")
  endif()
  # The IID in its 16-byte layout as resource data: Data1 as a 32-bit word,
  # Data2 and Data3 as 16-bit words, the 8 bytes of Data4 as four 16-bit
  # little-endian words.
  string(REPLACE "-" "" hex "${KAVCMD_IID}")
  string(SUBSTRING "${hex}" 0 8 d1)
  string(SUBSTRING "${hex}" 8 4 d2)
  string(SUBSTRING "${hex}" 12 4 d3)
  set(words "0x${d1}L, 0x${d2}, 0x${d3}")
  foreach(at 16 20 24 28)
    string(SUBSTRING "${hex}" ${at} 2 lo)
    math(EXPR hi_at "${at} + 2")
    string(SUBSTRING "${hex}" ${hi_at} 2 hi)
    string(APPEND words ", 0x${hi}${lo}")
  endforeach()
  set(KAVCMD_IID_WORDS "${words}" PARENT_SCOPE)
endfunction()

# The widl step: `idl` to `output` (-t type library, -h header).
function(kavlink_widl mode idl output comment)
  foreach(setting KAVLINK_WIDL KAVLINK_WIDL_INCLUDE KAVLINK_WIDL_TLB_PATH)
    if(NOT ${setting})
      message(FATAL_ERROR "kavlink_add_command: ${setting} is not set")
    endif()
  endforeach()
  if(NOT EXISTS "${KAVLINK_WIDL_INCLUDE}/oaidl.idl")
    message(FATAL_ERROR "kavlink_add_command: no oaidl.idl in ${KAVLINK_WIDL_INCLUDE}; install Wine's IDL files "
                        "(Debian: libwine-dev) or set KAVLINK_WIDL_INCLUDE to their folder")
  endif()
  if(NOT EXISTS "${KAVLINK_WIDL_TLB_PATH}/stdole2.tlb")
    message(FATAL_ERROR "kavlink_add_command: no stdole2.tlb in ${KAVLINK_WIDL_TLB_PATH}; set KAVLINK_WIDL_TLB_PATH")
  endif()
  # Run from the IDL's folder with its bare name: widl writes the input's
  # path into the header it makes, and a shipped header must not carry the
  # build machine's folders.
  get_filename_component(idl_dir "${idl}" DIRECTORY)
  get_filename_component(idl_name "${idl}" NAME)
  add_custom_command(OUTPUT ${output}
    COMMAND ${KAVLINK_WIDL} -I${KAVLINK_WIDL_INCLUDE} -L${KAVLINK_WIDL_TLB_PATH} ${mode} -o ${output} ${idl_name}
    DEPENDS ${idl}
    WORKING_DIRECTORY ${idl_dir}
    COMMENT "${comment}"
    VERBATIM)
endfunction()

# Hardening of a target that is, or goes into, a shipped PE: the stack
# guard (-fstack-protector-strong, from the static ssp library, so that no
# libssp-0.dll has to be shipped beside it), fortified C library calls
# (_FORTIFY_SOURCE=2) and, stated to the linker rather than left to its
# defaults, ASLR (--dynamicbase) and DEP (--nxcompat).  A static library gets
# the compile options; the DLL or EXE it goes into links the ssp library.
# Applied once per target.
function(kavlink_harden target)
  get_target_property(done ${target} KAVLINK_HARDENED)
  if(done)
    return()
  endif()
  set_target_properties(${target} PROPERTIES KAVLINK_HARDENED ON)
  get_target_property(type ${target} TYPE)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong -D_FORTIFY_SOURCE=2>)
  # The DLLs and EXEs link -static (kavlink_add_command sets it, the project
  # sets it for all), which takes libssp.a.  Switching back with -Bdynamic
  # after it would make the C++ runtime that the driver adds later a DLL
  # import.
  if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
    target_link_options(${target} PRIVATE -Wl,--dynamicbase,--nxcompat)
    target_link_libraries(${target} PRIVATE -lssp)
  endif()
endfunction()

function(kavlink_add_command name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "IDENTITY" "SOURCES;RESOURCES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kavlink_add_command(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_IDENTITY OR NOT arg_SOURCES)
    message(FATAL_ERROR "kavlink_add_command(${name}): IDENTITY <header> and SOURCES <files> are required")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "RC" IN_LIST languages OR NOT "CXX" IN_LIST languages)
    message(FATAL_ERROR "kavlink_add_command(${name}): the project must enable CXX and RC "
                        "(project(<name> LANGUAGES C CXX RC))")
  endif()
  if(NOT TARGET ${KAVLINK_FRAME_TARGET})
    message(FATAL_ERROR "kavlink_add_command(${name}): the frame target \"${KAVLINK_FRAME_TARGET}\" is missing")
  endif()
  get_filename_component(identity "${arg_IDENTITY}" ABSOLUTE)
  get_filename_component(identity_dir "${identity}" DIRECTORY)
  set(KAVCMD_IDENTITY_HEADER "${identity}")
  kavlink_read_identity("${identity}")
  if(NOT KAVCMD_NAME STREQUAL name)
    message(FATAL_ERROR "kavlink_add_command(${name}): ${identity} names the component \"${KAVCMD_NAME}\"")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${identity}")

  set(gen ${CMAKE_CURRENT_BINARY_DIR}/${name}_component)
  set(KAVCMD_TLB ${gen}/${name}.tlb)
  set(idl_template ${KAVLINK_TEMPLATE_DIR}/morvik_command.idl.in)
  if(KAVLINK_IDL_TEMPLATE)
    set(idl_template ${KAVLINK_IDL_TEMPLATE})
  endif()
  configure_file(${idl_template} ${gen}/${name}.idl @ONLY)
  configure_file(${KAVLINK_TEMPLATE_DIR}/identity_definition.cpp.in ${gen}/${name}_identity.cpp @ONLY)
  kavlink_widl(-t ${gen}/${name}.idl ${KAVCMD_TLB} "type library of ${name}")

  # Start steps, dialog and identity: a static library that the DLL takes
  # whole (the frame and the steps refer to each other).
  add_library(${name}_command STATIC ${arg_SOURCES} ${gen}/${name}_identity.cpp)
  set_target_properties(${name}_command PROPERTIES LINKER_LANGUAGE CXX)
  target_include_directories(${name}_command PUBLIC ${identity_dir})
  target_link_libraries(${name}_command PUBLIC ${KAVLINK_FRAME_TARGET})
  set_target_properties(${name}_command PROPERTIES KAVLINK_IDENTITY_SOURCE ${gen}/${name}_identity.cpp)

  # One resource script per DLL: the linker does not merge several resource
  # objects correctly, so the frame's icon and the author's scripts are
  # included into the generated one.
  set(resources ${KAVLINK_TEMPLATE_DIR}/command_icon.rc)
  set(resource_dirs ${KAVLINK_TEMPLATE_DIR})
  foreach(rc IN LISTS arg_RESOURCES)
    get_filename_component(rc "${rc}" ABSOLUTE)
    get_filename_component(rc_dir "${rc}" DIRECTORY)
    list(APPEND resources ${rc})
    list(APPEND resource_dirs ${rc_dir})
  endforeach()
  set(KAVCMD_EXTRA_RESOURCES "")
  foreach(rc IN LISTS resources)
    string(APPEND KAVCMD_EXTRA_RESOURCES "#include \"${rc}\"\n")
  endforeach()
  configure_file(${KAVLINK_TEMPLATE_DIR}/component.rc.in ${gen}/${name}_component.rc @ONLY)
  set_source_files_properties(${gen}/${name}_component.rc PROPERTIES OBJECT_DEPENDS "${KAVCMD_TLB};${resources}")

  add_library(${name} SHARED ${gen}/${name}_component.rc ${KAVLINK_TEMPLATE_DIR}/command_server.def)
  target_include_directories(${name} PRIVATE ${resource_dirs})
  target_link_libraries(${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_command>" ${KAVLINK_FRAME_TARGET})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE CXX
                        LINK_DEPENDS ${KAVLINK_TEMPLATE_DIR}/command_server.def)
  target_link_options(${name} PRIVATE -Wl,--no-undefined -static -static-libgcc -static-libstdc++)
  kavlink_harden(${name}_command)
  kavlink_harden(${name})
  if(KAVLINK_DLL)
    # The component binds kavlink.dll from its own folder first.
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KAVLINK_DLL} $<TARGET_FILE_DIR:${name}>
      VERBATIM)
  endif()
endfunction()
