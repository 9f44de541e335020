# Makes the release packages from a built Windows tree: a portable ZIP and the
# installer. Run with cmake -P and these variables:
#   BIN        the folder holding Kestrun.exe, Equalizer.ax and Skin
#   X86_BIN    the folder holding the 32-bit Equalizer.ax (shipped as x86\Equalizer.ax),
#              or empty to leave it out
#   OUT        where the packages go
#   VERSION    the product version
#   SOURCE     the source tree
#   MAKENSIS   makensis, or empty to make the ZIP only
set(name Kestrun-${VERSION})
set(stage ${OUT}/${name})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY ${BIN}/Kestrun.exe ${BIN}/Equalizer.ax ${BIN}/Skin DESTINATION ${stage})
set(nsis_x86)
if(X86_BIN)
  file(COPY ${X86_BIN}/Equalizer.ax DESTINATION ${stage}/x86)
  set(nsis_x86 -DX86_FILTER)
endif()
file(COPY ${SOURCE}/packaging/readme.txt DESTINATION ${stage})
configure_file(${SOURCE}/LICENSE ${stage}/LICENSE.txt COPYONLY)

file(REMOVE ${OUT}/${name}-portable.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}-portable.zip --format=zip ${name}
  WORKING_DIRECTORY ${OUT} RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "could not make the ZIP")
endif()

if(MAKENSIS)
  # What the uninstaller may delete of the skins: the shipped files, then the shipped
  # folders deepest first (RMDir leaves a folder that still holds a user's files).
  set(skin_list ${OUT}/${name}-skin-files.nsh)
  file(GLOB_RECURSE skin_files RELATIVE ${stage} ${stage}/Skin/*)
  file(GLOB_RECURSE skin_dirs LIST_DIRECTORIES true RELATIVE ${stage} ${stage}/Skin/*)
  list(REMOVE_ITEM skin_dirs ${skin_files})
  list(SORT skin_files)
  list(SORT skin_dirs ORDER DESCENDING)
  set(lines "; Made by make_packages.cmake from the staged skins.\n")
  foreach(file IN LISTS skin_files)
    string(REPLACE "/" "\\" file "${file}")
    string(APPEND lines "Delete \"$INSTDIR\\${file}\"\n")
  endforeach()
  foreach(dir IN LISTS skin_dirs)
    string(REPLACE "/" "\\" dir "${dir}")
    string(APPEND lines "RMDir \"$INSTDIR\\${dir}\"\n")
  endforeach()
  string(APPEND lines "RMDir \"$INSTDIR\\Skin\"\n")
  file(WRITE ${skin_list} "${lines}")

  execute_process(COMMAND ${MAKENSIS} -V2 -DVERSION=${VERSION} -DSTAGE=${stage} -DSKIN_LIST=${skin_list} ${nsis_x86}
    -DOUTFILE=${OUT}/${name}-setup.exe ${SOURCE}/packaging/kestrun.nsi RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "makensis failed")
  endif()
endif()
