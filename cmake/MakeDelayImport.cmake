# Writes a delay-load import library for one DLL from the toolchain's
# ordinary import library: every function the import library names, taken
# from its __imp_ symbols, goes into a .def file, and dlltool makes the
# delay-load form of it (the DLL is then loaded at the first call of one of
# its functions, through mingw-w64's __delayLoadHelper2 in libdelayimp).
# Run with cmake -P; inputs: NM, DLLTOOL, IMPORT_LIB, DLL, DEF, OUT, X86.
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORT_LIB} failed")
endif()
# x86 names carry one more underscore and the stdcall size: __imp__Name@8.
if(X86)
  set(prefix "__imp__")
else()
  set(prefix "__imp_")
endif()
string(REGEX MATCHALL " I ${prefix}[^\r\n]+" imports "${symbols}")
list(TRANSFORM imports REPLACE " I ${prefix}" "")
list(REMOVE_DUPLICATES imports)
list(SORT imports)
list(JOIN imports "\n" exports)
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${exports}\n")
set(kill_at)
if(X86)
  # The DLL exports the undecorated names.
  set(kill_at --kill-at)
endif()
execute_process(COMMAND ${DLLTOOL} --input-def ${DEF} --dllname ${DLL} --output-delaylib ${OUT} ${kill_at}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} failed for ${DLL}")
endif()
