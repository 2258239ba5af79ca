# Platform sources of the backup engine: computer name, clocks, raw file
# operations on folder descriptors, the atomic copy, interrupt signals.
target_sources(vellory_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/computername.h ${CMAKE_CURRENT_LIST_DIR}/computername.cpp
  ${CMAKE_CURRENT_LIST_DIR}/contentcomparer.h ${CMAKE_CURRENT_LIST_DIR}/contentcomparer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/datacopier.h ${CMAKE_CURRENT_LIST_DIR}/datacopier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/directoryops.h ${CMAKE_CURRENT_LIST_DIR}/directoryops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/directoryreader.h ${CMAKE_CURRENT_LIST_DIR}/directoryreader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fileattributes.h ${CMAKE_CURRENT_LIST_DIR}/fileattributes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filecopier.h ${CMAKE_CURRENT_LIST_DIR}/filecopier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fileerror.h ${CMAKE_CURRENT_LIST_DIR}/fileerror.cpp
  ${CMAKE_CURRENT_LIST_DIR}/interruptnotifier.h ${CMAKE_CURRENT_LIST_DIR}/interruptnotifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memoryarenas.h ${CMAKE_CURRENT_LIST_DIR}/memoryarenas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/restorewriter.h ${CMAKE_CURRENT_LIST_DIR}/restorewriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/systemclock.h ${CMAKE_CURRENT_LIST_DIR}/systemclock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uniquefd.h
  ${CMAKE_CURRENT_LIST_DIR}/volumelimits.h ${CMAKE_CURRENT_LIST_DIR}/volumelimits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volumeflusher.h ${CMAKE_CURRENT_LIST_DIR}/volumeflusher.cpp
)
