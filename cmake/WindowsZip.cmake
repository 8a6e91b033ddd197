# Makes the zip of the Windows exes (the target windows_zip runs it):
#   cmake -DX64=EXE -DX86=EXE -DSOURCE=DIR -DNAME=NAME -DOUT=ZIP -P WindowsZip.cmake
# The zip holds one folder NAME with x64/purgelib.exe, x86/purgelib.exe, the
# README and the README's picture.
foreach(_var X64 X86 SOURCE NAME OUT)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "WindowsZip.cmake: -D${_var}=... is missing")
  endif()
endforeach()
foreach(_exe "${X64}" "${X86}")
  if(NOT EXISTS "${_exe}")
    message(FATAL_ERROR "${_exe} not found: build the presets mingw-x64 and mingw-x86 first")
  endif()
endforeach()

get_filename_component(_out_dir "${OUT}" DIRECTORY)
set(_stage "${_out_dir}/_windows_zip")
file(REMOVE_RECURSE "${_stage}")
configure_file("${X64}" "${_stage}/${NAME}/x64/purgelib.exe" COPYONLY)
configure_file("${X86}" "${_stage}/${NAME}/x86/purgelib.exe" COPYONLY)
configure_file("${SOURCE}/README.md" "${_stage}/${NAME}/README.md" COPYONLY)
configure_file("${SOURCE}/docs/message-box.png" "${_stage}/${NAME}/docs/message-box.png" COPYONLY)

file(REMOVE "${OUT}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUT}" --format=zip "${NAME}"
                WORKING_DIRECTORY "${_stage}" RESULT_VARIABLE _result)
file(REMOVE_RECURSE "${_stage}")
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "zipping ${OUT} failed: ${_result}")
endif()
message(STATUS "Windows zip: ${OUT}")
