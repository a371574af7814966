# Checks a plug-in DLL's export and import tables, as read by the cross objdump:
#
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DDLL=Quorus.dll -P CheckPluginDll.cmake
#   cmake -DOBJDUMP=... -DDLL=ffglhost.exe -DPROGRAM=ON -P CheckPluginDll.cmake   (imports only)
#
# The DLL must export exactly plugMain (by that plain name) and import only from system DLLs:
# kernel32, user32, gdi32, opengl32, glu32 and the C runtime (msvcrt, or the UCRT). Anything else,
# for example libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll, would have to be
# copied beside the plug-in into every host's plug-in folder.
# A refusal: the reason on one line of its own (CMake wraps the text of errors at spaces, which
# would make what the tests match depend on the length of the build's paths), then the error.
function(dll_check_fail text)
  message(NOTICE "${text}")
  message(FATAL_ERROR "DLL check failed")
endfunction()

foreach(var OBJDUMP DLL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckPluginDll.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT EXISTS "${DLL}")
  dll_check_fail("${DLL} does not exist")
endif()

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed (${rc}): ${err}")
endif()
string(REPLACE "\n" ";" lines "${dump}")

# Exports: the entries listed after "[Ordinal/Name Pointer] Table", up to the next blank line.
set(exports "")
set(in_names FALSE)
set(seen_export_table FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
    set(seen_export_table TRUE)
  elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
    list(APPEND exports "${CMAKE_MATCH_1}")
  elseif(in_names)
    set(in_names FALSE)
  endif()
endforeach()
if(PROGRAM)
  # A program: only its imports count.
elseif(NOT seen_export_table)
  dll_check_fail("${DLL} has no export name table")
elseif(NOT exports STREQUAL "plugMain")
  dll_check_fail("${DLL} must export exactly plugMain; it exports: ${exports}")
endif()

# Imports: one "DLL Name:" line per imported DLL.
set(imports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    list(APPEND imports "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(imports STREQUAL "")
  dll_check_fail("${DLL} imports nothing: not a program that draws with OpenGL")
endif()
set(foreign "")
foreach(name IN LISTS imports)
  string(TOLOWER "${name}" lower)
  if(NOT lower MATCHES "^(kernel32|user32|gdi32|opengl32|glu32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\\.dll$")
    list(APPEND foreign "${name}")
  endif()
endforeach()
if(foreign)
  dll_check_fail("${DLL} imports DLLs that are not part of Windows: ${foreign} (all imports: ${imports})")
endif()
if(PROGRAM)
  message(STATUS "${DLL}: imports ${imports}")
else()
  message(STATUS "${DLL}: exports plugMain only; imports ${imports}")
endif()
