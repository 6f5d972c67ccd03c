# cmake -DFOLDER=<folder> -P CheckPicturesTest.cmake: the folder holds a.png
# only; the check of a.png, b.png and c.png must fail naming b.png and c.png
# (tests/CMakeLists.txt matches the message).
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/CheckPictures.cmake)
file(REMOVE_RECURSE ${FOLDER})
file(WRITE ${FOLDER}/a.png "")
kestra_check_pictures(${FOLDER} a.png)
message(STATUS "a.png present: no complaint")
kestra_check_pictures(${FOLDER} a.png b.png c.png)
message(STATUS "not reached")
