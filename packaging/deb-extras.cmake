# Run by cpack between staging the install and building the .deb: adds what only a Debian
# package carries, its changelog, compressed as Debian wants it.
set(doc "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/romhaul")
file(MAKE_DIRECTORY "${doc}")
execute_process(COMMAND gzip -9nc "${CMAKE_CURRENT_LIST_DIR}/changelog.Debian"
  OUTPUT_FILE "${doc}/changelog.Debian.gz" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot compress the Debian changelog into ${doc}")
endif()
