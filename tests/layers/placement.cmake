# Runs the build's placement rule on one path: cmake -DPLACE=<path> -P placement.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/SequorLayers.cmake)
sequor_check_placement(${PLACE})
message(STATUS "placed: ${PLACE}")
