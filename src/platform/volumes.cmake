# Mounted volumes: the table, its parts, the monitor of mounts, eject.
target_sources(vellory_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mountedvolume.h ${CMAKE_CURRENT_LIST_DIR}/mountedvolume.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mountinfo.h ${CMAKE_CURRENT_LIST_DIR}/mountinfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mountvisibility.h ${CMAKE_CURRENT_LIST_DIR}/mountvisibility.cpp
  ${CMAKE_CURRENT_LIST_DIR}/blockdeviceinfo.h ${CMAKE_CURRENT_LIST_DIR}/blockdeviceinfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volumetable.h
  ${CMAKE_CURRENT_LIST_DIR}/linuxvolumetable.h ${CMAKE_CURRENT_LIST_DIR}/linuxvolumetable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fakevolumetable.h ${CMAKE_CURRENT_LIST_DIR}/fakevolumetable.cpp
)
target_sources(vellory_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/volumechanges.h ${CMAKE_CURRENT_LIST_DIR}/volumechanges.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volumemonitor.h
  ${CMAKE_CURRENT_LIST_DIR}/linuxvolumemonitor.h ${CMAKE_CURRENT_LIST_DIR}/linuxvolumemonitor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fakevolumemonitor.h ${CMAKE_CURRENT_LIST_DIR}/fakevolumemonitor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udisks2.h ${CMAKE_CURRENT_LIST_DIR}/udisks2.cpp
)
target_sources(vellory_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/volumeejector.h ${CMAKE_CURRENT_LIST_DIR}/volumeejector.cpp
)
