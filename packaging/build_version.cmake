# The generated version header, as the interface library `build_version`.
set(KAVIRO_VERSION_HEADER ${PROJECT_BINARY_DIR}/generated/build_version.h)
add_custom_target(build_version_header
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DTEMPLATE=${PROJECT_SOURCE_DIR}/packaging/build_version.h.in
          -DOUTPUT=${KAVIRO_VERSION_HEADER} -DPROJECT_VERSION=${PROJECT_VERSION}
          -P ${PROJECT_SOURCE_DIR}/packaging/write_build_version.cmake
  BYPRODUCTS ${KAVIRO_VERSION_HEADER}
  COMMENT "Version header"
  VERBATIM)
add_library(build_version INTERFACE)
target_include_directories(build_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
add_dependencies(build_version build_version_header)
