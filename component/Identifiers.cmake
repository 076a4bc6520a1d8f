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
