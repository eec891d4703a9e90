# Outside libraries of the grid subsystem: the JPEG 2000, PNG and CCSDS
# decoders of GRIB edition 2 packings.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RAZIVA_OPENJP2 REQUIRED IMPORTED_TARGET libopenjp2)
pkg_check_modules(RAZIVA_PNG REQUIRED IMPORTED_TARGET libpng)
# libaec ships no pkg-config file on every distribution.
find_path(RAZIVA_AEC_INCLUDE libaec.h REQUIRED)
find_library(RAZIVA_AEC_LIBRARY aec REQUIRED)
target_include_directories(zup${sub} PRIVATE ${RAZIVA_AEC_INCLUDE})
target_link_libraries(zup${sub} PUBLIC PkgConfig::RAZIVA_OPENJP2 PkgConfig::RAZIVA_PNG
                      ${RAZIVA_AEC_LIBRARY})
# netCDF grid files are read through the netCDF C library.
pkg_check_modules(RAZIVA_NETCDF REQUIRED IMPORTED_TARGET netcdf)
target_link_libraries(zup${sub} PUBLIC PkgConfig::RAZIVA_NETCDF)
# Products of a sounding are decoded side by side on a few threads.
find_package(Threads REQUIRED)
target_link_libraries(zup${sub} PUBLIC Threads::Threads)
