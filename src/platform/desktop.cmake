# Desktop session services: one instance per session, notifications, the
# sleep inhibitor and the login autostart entry.
target_sources(vellory_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/applicationbus.h ${CMAKE_CURRENT_LIST_DIR}/applicationbus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/autostartentry.h ${CMAKE_CURRENT_LIST_DIR}/autostartentry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desktopnotifier.h ${CMAKE_CURRENT_LIST_DIR}/desktopnotifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sleepinhibitor.h ${CMAKE_CURRENT_LIST_DIR}/sleepinhibitor.cpp
)
