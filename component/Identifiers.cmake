# Reads the component's GUIDs from kindprobe.idl, their one home, so that registry scripts and
# tests configured by CMake use the very values compiled into the code and the type library.
# Sets KINDPROBE_CLSID, KINDPROBE_IID, KINDPROBE_LIBID and KINDPROBE_APPID (upper case, no
# braces) in the cache.
set(KINDPROBE_IDL ${CMAKE_CURRENT_LIST_DIR}/kindprobe.idl CACHE INTERNAL "")
file(READ ${KINDPROBE_IDL} kindprobe_idl_text)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KINDPROBE_IDL})

set(kindprobe_guid_pattern "[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+")

# The uuid attribute of the attribute block directly in front of `keyword name`.
function(kindprobe_idl_uuid keyword name out)
  string(REGEX MATCH "uuid\\((${kindprobe_guid_pattern})\\)[^[]*${keyword}[ \t\r\n]+${name}[^A-Za-z0-9_]"
         found "${kindprobe_idl_text}")
  if(NOT found)
    message(FATAL_ERROR "kindprobe.idl: no uuid for ${keyword} ${name}")
  endif()
  string(TOUPPER "${CMAKE_MATCH_1}" guid)
  set(${out} ${guid} CACHE INTERNAL "")
endfunction()

kindprobe_idl_uuid(coclass CheckFile KINDPROBE_CLSID)
kindprobe_idl_uuid(interface ICheckFile KINDPROBE_IID)
kindprobe_idl_uuid(library KindprobeLib KINDPROBE_LIBID)

string(REGEX MATCH "KINDPROBE_APPID_TEXT L\\\\\"{(${kindprobe_guid_pattern})}" found
       "${kindprobe_idl_text}")
if(NOT found)
  message(FATAL_ERROR "kindprobe.idl: no KINDPROBE_APPID_TEXT")
endif()
string(TOUPPER "${CMAKE_MATCH_1}" guid)
set(KINDPROBE_APPID ${guid} CACHE INTERNAL "")
unset(found)
unset(guid)

# What the type library's registration files besides the GUIDs, for the installer's entries:
# the library's version and help string, and the interface's method count (IDispatch's seven
# and its own).
string(REGEX MATCH "version\\(([0-9]+\\.[0-9]+)\\)[^[]*helpstring\\(\"([^\"]*)\"\\)[^[]*library[ \t\r\n]+KindprobeLib"
       found "${kindprobe_idl_text}")
if(NOT found)
  message(FATAL_ERROR "kindprobe.idl: no version and helpstring for library KindprobeLib")
endif()
set(KINDPROBE_TYPELIB_VERSION ${CMAKE_MATCH_1} CACHE INTERNAL "")
set(KINDPROBE_TYPELIB_HELPSTRING "${CMAKE_MATCH_2}" CACHE INTERNAL "")
set(KINDPROBE_INTERFACE_NAME ICheckFile CACHE INTERNAL "")
string(REGEX MATCH "interface[ \t\r\n]+ICheckFile[ \t\r\n]*:[ \t\r\n]*IDispatch[^}]*}" found
       "${kindprobe_idl_text}")
string(REGEX MATCHALL "HRESULT[ \t\r\n]+[A-Za-z0-9_]+[ \t\r\n]*\\(" methods "${found}")
list(LENGTH methods method_count)
math(EXPR method_count "7 + ${method_count}")
set(KINDPROBE_INTERFACE_METHODS ${method_count} CACHE INTERNAL "")
unset(found)
unset(methods)
unset(method_count)
