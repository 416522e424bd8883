# System DLLs that only some commands need (printing, upload, the editor's drawing, sounds, the
# update check's thread...): loaded on the first call into them instead of before main, which
# keeps them out of the start's time and out of the memory of a program that never uses them.
#
# tovasen_link_delay_loaded(target lib...) links target and whoever links it with lib...: with
# MSVC the import libraries themselves and /DELAYLOAD for each DLL; with MinGW, whose linker has
# no such switch, delay-import libraries that dlltool makes from the import libraries' own export
# lists. Every DLL named here ships with Windows, so its load cannot fail.
function(tovasen_link_delay_loaded target)
  set(libs)
  foreach(lib ${ARGN})
    set(dll ${lib}.dll)
    if(lib STREQUAL "winspool")
      set(dll winspool.drv)
    endif()
    if(MSVC)
      list(APPEND libs ${lib})
      target_link_options(${target} INTERFACE /DELAYLOAD:${dll})
    elseif(MINGW)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${lib}.a
        OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
      execute_process(COMMAND ${CMAKE_NM} -g ${import_lib} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
      if(failed OR NOT EXISTS ${import_lib})
        message(FATAL_ERROR "delay loading: cannot read the import library of ${dll} (${import_lib})")
      endif()
      # Each import has its __imp_ pointer; the rest of the library is thunks and glue.
      string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
      list(REMOVE_DUPLICATES imports)
      list(TRANSFORM imports REPLACE "^__imp_" "")
      list(JOIN imports "\n" exports)
      set(dir ${CMAKE_BINARY_DIR}/delay_load)
      file(WRITE ${dir}/${lib}.def "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
      execute_process(COMMAND ${CMAKE_DLLTOOL} -d ${dir}/${lib}.def -y ${dir}/libdelay_${lib}.a -D ${dll}
        RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "delay loading: dlltool could not make the delay-import library of ${dll}")
      endif()
      # The import library after it gives what is no import (the data some headers expect).
      list(APPEND libs ${dir}/libdelay_${lib}.a ${lib})
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  if(MSVC)
    list(APPEND libs delayimp)
  endif()
  target_link_libraries(${target} PUBLIC ${libs})
endfunction()
