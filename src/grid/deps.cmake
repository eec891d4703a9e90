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
# netCDF grid files are read through the netCDF C library, loaded by its
# shared-object name when the first netCDF file is opened (it pulls in HDF5,
# curl and a few dozen more libraries that GRIB runs never need).
pkg_check_modules(RAZIVA_NETCDF REQUIRED netcdf)
find_library(RAZIVA_NETCDF_LIBRARY netcdf HINTS ${RAZIVA_NETCDF_LIBRARY_DIRS} REQUIRED)
execute_process(COMMAND objdump -p ${RAZIVA_NETCDF_LIBRARY} OUTPUT_VARIABLE nc_dynamic ERROR_QUIET)
string(REGEX MATCH "SONAME +([^\n ]+)" nc_soname "${nc_dynamic}")
if(CMAKE_MATCH_1)
  set(RAZIVA_NETCDF_SONAME ${CMAKE_MATCH_1})
else()
  get_filename_component(RAZIVA_NETCDF_SONAME ${RAZIVA_NETCDF_LIBRARY} REALPATH)
endif()
message(STATUS "netCDF library, loaded on demand: ${RAZIVA_NETCDF_SONAME}")
target_include_directories(zup${sub} PRIVATE ${RAZIVA_NETCDF_INCLUDE_DIRS})
target_compile_definitions(zup${sub} PRIVATE RAZIVA_NETCDF_SONAME="${RAZIVA_NETCDF_SONAME}")
target_link_libraries(zup${sub} PUBLIC ${CMAKE_DL_LIBS})
# Products of a sounding are decoded side by side on a few threads.
find_package(Threads REQUIRED)
target_link_libraries(zup${sub} PUBLIC Threads::Threads)
