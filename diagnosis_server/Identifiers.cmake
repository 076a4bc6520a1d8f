# Reads the Diagnosis component's GUIDs from kindprobe_diagnosis.idl, their one home, so that
# its registry script, installer tables and tests use the values compiled into the code and the
# type library. Sets KINDPROBE_DIAGNOSIS_CLSID, _IID and _LIBID (upper case, no braces), and the
# type library's version and help string, in the cache.
include_guard(GLOBAL)
set(KINDPROBE_DIAGNOSIS_IDL ${CMAKE_CURRENT_LIST_DIR}/kindprobe_diagnosis.idl CACHE INTERNAL "")
file(READ ${KINDPROBE_DIAGNOSIS_IDL} diagnosis_idl_text)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KINDPROBE_DIAGNOSIS_IDL})

set(diagnosis_guid_pattern "[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+")
foreach(item "coclass;Diagnosis;CLSID" "interface;IDiagnosis;IID" "library;KindprobeDiagnosisLib;LIBID")
  list(GET item 0 keyword)
  list(GET item 1 name)
  list(GET item 2 suffix)
  string(REGEX MATCH "uuid\\((${diagnosis_guid_pattern})\\)[^[]*${keyword}[ \t\r\n]+${name}[^A-Za-z0-9_]"
         found "${diagnosis_idl_text}")
  if(NOT found)
    message(FATAL_ERROR "kindprobe_diagnosis.idl: no uuid for ${keyword} ${name}")
  endif()
  string(TOUPPER "${CMAKE_MATCH_1}" guid)
  set(KINDPROBE_DIAGNOSIS_${suffix} ${guid} CACHE INTERNAL "")
endforeach()

string(REGEX MATCH "version\\(([0-9]+\\.[0-9]+)\\)[^[]*helpstring\\(\"([^\"]*)\"\\)[^[]*library[ \t\r\n]+KindprobeDiagnosisLib"
       found "${diagnosis_idl_text}")
if(NOT found)
  message(FATAL_ERROR "kindprobe_diagnosis.idl: no version and helpstring for its library")
endif()
set(KINDPROBE_DIAGNOSIS_TYPELIB_VERSION ${CMAKE_MATCH_1} CACHE INTERNAL "")
set(KINDPROBE_DIAGNOSIS_TYPELIB_HELPSTRING "${CMAKE_MATCH_2}" CACHE INTERNAL "")
unset(found)
unset(guid)

# IDispatch's seven methods and the interface's own, as the type library's registration files.
string(REGEX MATCH "interface[ \t\r\n]+IDiagnosis[ \t\r\n]*:[ \t\r\n]*IDispatch[^}]*}" found
       "${diagnosis_idl_text}")
string(REGEX MATCHALL "HRESULT[ \t\r\n]+[A-Za-z0-9_]+[ \t\r\n]*\\(" methods "${found}")
list(LENGTH methods method_count)
math(EXPR method_count "7 + ${method_count}")
set(KINDPROBE_DIAGNOSIS_INTERFACE_METHODS ${method_count} CACHE INTERNAL "")
unset(found)
unset(methods)
unset(method_count)
