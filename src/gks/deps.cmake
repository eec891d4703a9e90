# Outside libraries of the graphics subsystem: Xlib for the window and the
# reading back of its picture, cairo for the off-screen raster picture,
# libpng and zlib for the image writers.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RAZIVA_GKS_LIBS REQUIRED IMPORTED_TARGET x11 cairo libpng zlib)
target_link_libraries(zup${sub} PUBLIC PkgConfig::RAZIVA_GKS_LIBS)
