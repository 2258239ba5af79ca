# Platform sources of this area: target_sources(vellory_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/file.cpp ...)
