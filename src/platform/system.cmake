# System facts for the support kit's report: firmware, processor, memory,
# distribution, locale and how this copy was installed.
target_sources(vellory_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/systemfacts.h
  ${CMAKE_CURRENT_LIST_DIR}/linuxsystemfacts.h ${CMAKE_CURRENT_LIST_DIR}/linuxsystemfacts.cpp
)
