# bench_png compares with libpng.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
target_link_libraries(bench_png PRIVATE PkgConfig::LIBPNG)
