# bench_gif compares with giflib.
find_library(GIFLIB_LIBRARY gif REQUIRED)
find_path(GIFLIB_INCLUDE_DIR gif_lib.h REQUIRED)
target_include_directories(bench_gif PRIVATE "${GIFLIB_INCLUDE_DIR}")
target_link_libraries(bench_gif PRIVATE "${GIFLIB_LIBRARY}")
# ... and with Pillow's GIF save, through a script in this folder.
target_compile_definitions(bench_gif PRIVATE VELTO_BENCH_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
