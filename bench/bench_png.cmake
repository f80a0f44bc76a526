# bench_png compares with libpng and libspng.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(SPNG REQUIRED IMPORTED_TARGET spng)
target_link_libraries(bench_png PRIVATE PkgConfig::LIBPNG PkgConfig::SPNG)
# The inflate floor beside the decoders: ISA-L alone on the image data.
pkg_check_modules(ISAL REQUIRED IMPORTED_TARGET libisal)
target_link_libraries(bench_png PRIVATE PkgConfig::ISAL)
