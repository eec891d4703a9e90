# Build helpers shared by the subsystem libraries and the tests.

set(RAZIVA_LIBS "")

# raziva_subsystem(name): static library zup<name> from src/<name>/*.cpp.
# The program's entry point (raziva.cpp) is left out of the driver library.
function(raziva_subsystem sub)
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/${sub}/*.cpp")
  list(FILTER srcs EXCLUDE REGEX "/raziva\\.cpp$")
  if(srcs)
    add_library(zup${sub} STATIC ${srcs})
    target_include_directories(zup${sub} PUBLIC ${RAZIVA_INCLUDE_DIRS})
    target_compile_definitions(zup${sub} PUBLIC
      RAZIVA_DATA_DIR="${RAZIVA_DATA_DIR}")
    set_target_properties(zup${sub} PROPERTIES LINK_INTERFACE_MULTIPLICITY 4)
    set(RAZIVA_LIBS ${RAZIVA_LIBS} zup${sub} PARENT_SCOPE)
    # A subsystem that needs outside libraries names them in deps.cmake,
    # which sees the library target as zup${sub}.
    if(EXISTS "${CMAKE_SOURCE_DIR}/src/${sub}/deps.cmake")
      include("${CMAKE_SOURCE_DIR}/src/${sub}/deps.cmake")
    endif()
  endif()
endfunction()

set(RAZIVA_INCLUDE_DIRS "")
foreach(sub driver files grid map sounding soundplot plot gks)
  list(APPEND RAZIVA_INCLUDE_DIRS "${CMAKE_SOURCE_DIR}/src/${sub}")
endforeach()

# The subsystems call one another both ways (messages and resources are used
# everywhere, resources decode domains), so every library links every other;
# CMake repeats cyclic static libraries on the link line.
function(raziva_link_subsystems)
  add_library(raziva_all INTERFACE)
  foreach(lib ${RAZIVA_LIBS})
    foreach(other ${RAZIVA_LIBS})
      if(NOT lib STREQUAL other)
        target_link_libraries(${lib} PUBLIC ${other})
      endif()
    endforeach()
    target_link_libraries(raziva_all INTERFACE ${lib})
  endforeach()
  target_link_libraries(raziva_all INTERFACE m)
  target_include_directories(raziva_all INTERFACE ${RAZIVA_INCLUDE_DIRS})
endfunction()
