include(CMakePackageConfigHelpers)

set(TSFORGE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tsforge)
set(_install_targets tsforge)
if(NOT TSFORGE_EXTERNAL_NBUTILS)
  list(APPEND _install_targets NbUtils)
endif()

install(TARGETS ${_install_targets} EXPORT tsforgeTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The installed tree works from any prefix without LD_LIBRARY_PATH: libtsforge finds
# libNbUtils beside itself, and the program (tools/) finds both through the path from its
# folder to the library folder.
set_target_properties(tsforge PROPERTIES INSTALL_RPATH "$ORIGIN")
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TSFORGE_PROGRAM_RPATH "${CMAKE_INSTALL_FULL_LIBDIR}")
else()
  file(RELATIVE_PATH _bin_to_lib /p/${CMAKE_INSTALL_BINDIR} /p/${CMAKE_INSTALL_LIBDIR})
  set(TSFORGE_PROGRAM_RPATH "$ORIGIN/${_bin_to_lib}")
endif()

# Public headers keep their paths relative to the source tree; private headers
# (*_internal.h) stay behind.
foreach(_dir core Forecast Anomaly CSVLoader host)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${_dir}/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tsforge/${_dir}
          FILES_MATCHING PATTERN "*.h" PATTERN "*_internal.h" EXCLUDE)
endforeach()

install(EXPORT tsforgeTargets NAMESPACE tsforge:: DESTINATION ${TSFORGE_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tsforgeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tsforgeConfig.cmake INSTALL_DESTINATION ${TSFORGE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tsforgeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tsforgeConfig.cmake ${PROJECT_BINARY_DIR}/tsforgeConfigVersion.cmake
        DESTINATION ${TSFORGE_CMAKE_DIR})

file(RELATIVE_PATH TSFORGE_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
set(TSFORGE_PC_DEFINES "")
if(NOT BUILD_SHARED_LIBS)
  set(TSFORGE_PC_DEFINES " -DTSFORGE_STATIC")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tsforge.pc.in ${PROJECT_BINARY_DIR}/tsforge.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tsforge.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
