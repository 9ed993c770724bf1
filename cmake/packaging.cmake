# What a user installs: the Debian package (cpack -G DEB in build/) and the
# Windows zip (cpack -G ZIP in build-win64/), both from the install rules.
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "The Quillmark authors")
set(CPACK_PACKAGE_CONTACT "The Quillmark authors <authors@quillmark.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "translate the comments and strings of PureBasic projects")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quillmark-${PROJECT_VERSION}-win64)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quillmark_<version>_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillmark.org/)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Quillmark gathers the comments and string literals of every PureBasic\n"
      "source file of a project, hands them to a translator of your choice\n"
      "through the clipboard, and puts the translated lines back in their places.\n"
      "Only text meant for people is offered, and a file is only ever replaced\n"
      "by a complete copy. quillmark-cli translates whole projects through any\n"
      "translator program, such as Apertium.")
  string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

  # Manual pages and the changelog go in compressed, as Debian has them.
  set(compressed)
  foreach(file quillmark.1 quillmark-cli.1 changelog)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/${file}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
      COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/${file} > ${PROJECT_BINARY_DIR}/packaging/${file}.gz
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${file} VERBATIM)
    list(APPEND compressed ${PROJECT_BINARY_DIR}/packaging/${file}.gz)
  endforeach()
  add_custom_target(packaging_files ALL DEPENDS ${compressed})
  install(FILES ${PROJECT_BINARY_DIR}/packaging/quillmark.1.gz
                ${PROJECT_BINARY_DIR}/packaging/quillmark-cli.1.gz
          DESTINATION share/man/man1)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION share/doc/quillmark)
  if(QM_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark.svg
            DESTINATION share/icons/hicolor/scalable/apps)
    foreach(size 16 32 48 64 128 256)
      install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/quillmark-${size}.png
              DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME quillmark.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.quillmark.Quillmark.metainfo.xml
            DESTINATION share/metainfo)
  endif()
endif()
include(CPack)
