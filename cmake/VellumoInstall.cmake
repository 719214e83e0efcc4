# Installation and the Debian package. The program and its command line go to bin, everything they load
# or start (the resource library, the outside libraries, the OCR engine and card programs, whose file
# names other programs use and so stay as they are) to the private folder, found from bin through the
# run path; the shipped settings and the help page to share/vellumo. The udev rule's destination is
# relative too, so that it lands in /usr/lib/udev/rules.d under the package's prefix.

set(private_rpath "$ORIGIN;$ORIGIN/${VELLUMO_BIN_TO_PRIVATE_DIR}")
foreach(program Vellumo vellumo-capture)
  if(TARGET ${program})
    # $ORIGIN stays first for the build folder, where everything lies beside the program.
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "${private_rpath}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(private_libraries vellumo_resources KvoASize fasize JpegLib bmp2pdf bmp2tiff emxunit Ketrowa)
set(private_programs finecmd zorvex ketrowa-probe)
foreach(target ${private_libraries})
  if(TARGET ${target})
    install(TARGETS ${target} LIBRARY DESTINATION ${VELLUMO_INSTALL_PRIVATE_DIR} NAMELINK_SKIP)
  endif()
endforeach()
foreach(target ${private_programs})
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${VELLUMO_INSTALL_PRIVATE_DIR})
  endif()
endforeach()

set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)
install(FILES resources/Vellumo.ini resources/help/Vellumo.html DESTINATION ${VELLUMO_INSTALL_DATA_DIR})
install(FILES resources/udev/70-vellumo-camera.rules DESTINATION lib/udev/rules.d)
install(FILES ${packaging}/org.vellumo.Vellumo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${packaging}/org.vellumo.Vellumo.metainfo.xml ${generated}/org.vellumo.Vellumo.metainfo.xml @ONLY)
install(FILES ${generated}/org.vellumo.Vellumo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/icons/vellumo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${packaging}/icons/vellumo-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME vellumo.png)
endforeach()

# Manual pages and the changelog are installed compressed, as Debian keeps them (-n: no time stamp, so the
# package is the same from one build to the next).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed "")
foreach(page Vellumo.1 vellumo-capture.1)
  configure_file(${packaging}/man/${page} ${generated}/${page} @ONLY)
  list(APPEND compressed ${generated}/${page})
endforeach()
configure_file(${packaging}/debian/changelog ${generated}/changelog.Debian @ONLY)
list(APPEND compressed ${generated}/changelog.Debian)
set(gz_files "")
foreach(file ${compressed})
  add_custom_command(OUTPUT ${file}.gz COMMAND ${GZIP_PROGRAM} -9nkf ${file} DEPENDS ${file} VERBATIM)
  list(APPEND gz_files ${file}.gz)
endforeach()
add_custom_target(vellumo_packaging_files ALL DEPENDS ${gz_files})
install(FILES ${generated}/Vellumo.1.gz ${generated}/vellumo-capture.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME vellumo)
install(FILES ${generated}/changelog.Debian.gz ${packaging}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vellumo)

# cpack -G DEB: dependencies of the ELF files from dpkg-shlibdeps (our private libraries resolved in the
# private folder), plus what the program loads or runs without linking it.
set(CPACK_PACKAGE_NAME vellumo)
set(CPACK_PACKAGE_VENDOR "The Vellumo developers")
set(CPACK_PACKAGE_CONTACT "Vellumo developers <dev@vellumo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture program for USB document cameras")
set(CPACK_PACKAGE_DESCRIPTION "Vellumo shows the live picture of a USB document camera and captures pictures,\nPDF documents, recognised text and business cards from it. Without a camera it\nruns on a built-in virtual camera. vellumo-capture does the same work on\nphotographs from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vellumo.org/")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Loaded at run time, not linked: the toolkit's platform plugins, GStreamer's elements (camera source,
# converters, recording muxers and encoders), the recognition data, the virtual camera's font, the
# desktop's opener for help and folders.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, tesseract-ocr-eng, tesseract-ocr-osd, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-pulseaudio")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/debian/postinst ${packaging}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Only the program's own files: the tests and benches are not installed.
set(CPACK_GENERATOR DEB)
include(CPack)

# Everything the package holds, for scripts/check-package.sh to build before cpack.
add_custom_target(vellumo_installed)
foreach(target Vellumo vellumo-capture ${private_libraries} ${private_programs} vellumo_packaging_files)
  if(TARGET ${target})
    add_dependencies(vellumo_installed ${target})
  endif()
endforeach()
