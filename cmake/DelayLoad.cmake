# Delay-loaded system libraries: a module named here is mapped at the first
# call into it, not when the process starts. The interactive start never
# calls the network and signature functions, so their modules (and the
# security packages Secur32 brings up when it loads) stay out of it.
#
# tavrin_delay_load(<target> <lib> <dll>) makes the IMPORTED library
# <target> from the toolchain's import library lib<lib>.a: every function it
# names, imported from <dll> through mingw-w64's delay-load helper.
function(tavrin_delay_load target lib dll)
  find_file(import_lib_${lib} lib${lib}.a PATHS /usr/${TAVRIN_TRIPLE}/lib NO_DEFAULT_PATH REQUIRED)
  set(import_lib ${import_lib_${lib}})
  execute_process(COMMAND ${TAVRIN_TRIPLE}-nm ${import_lib}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "cannot read the symbols of ${import_lib}")
  endif()
  # Each imported function appears as "__imp_<name>"; on i686 the name
  # carries the C underscore in front and the stdcall "@<bytes>" behind.
  string(REGEX MATCHALL "I __imp_[^\n]+" entries "${symbols}")
  set(def "LIBRARY ${dll}\nEXPORTS\n")
  foreach(entry ${entries})
    string(REGEX REPLACE "^I __imp_" "" name "${entry}")
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      string(REGEX REPLACE "^_" "" name "${name}")
    endif()
    string(APPEND def "${name}\n")
  endforeach()
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  file(MAKE_DIRECTORY ${dir})
  file(WRITE ${dir}/${lib}.def "${def}")
  set(kill_at)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(kill_at --kill-at)
  endif()
  execute_process(COMMAND ${TAVRIN_TRIPLE}-dlltool --input-def ${dir}/${lib}.def --dllname ${dll}
    ${kill_at} --output-delaylib ${dir}/lib${lib}_delay.a
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot make the delay-load library of ${dll}")
  endif()
  add_library(${target} STATIC IMPORTED)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${dir}/lib${lib}_delay.a)
endfunction()
