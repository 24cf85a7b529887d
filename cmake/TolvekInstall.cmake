# What `cmake --install` puts where (GNU layout under CMAKE_INSTALL_PREFIX), and the Debian
# package `make package` builds from it with CPack. Only the program is installed: the sample
# maker, the tests and the benchmarks stay in the build folder.
include(GNUInstallDirs)

install(TARGETS tolvek RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop entry, the icon in the hicolor theme (PNG sizes and the scalable SVG, all named by
# the application ID) and the AppStream metainfo with this version as its release.
set(TOLVEK_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
install(FILES ${TOLVEK_RESOURCES}/${TOLVEK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${TOLVEK_RESOURCES}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
configure_file(${TOLVEK_RESOURCES}/${TOLVEK_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${TOLVEK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${TOLVEK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Help pages, where the program looks for them beside its executable (../share/tolvek/help).
if(EXISTS ${TOLVEK_RESOURCES}/help)
  install(DIRECTORY ${TOLVEK_RESOURCES}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvek/help)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvek)

# ---- make package: one .deb ---------------------------------------------------------------
# Its dependencies are what the program needs at run time and nothing to build it with:
# dpkg-shlibdeps derives the shared libraries from the executable itself (Qt, OpenCV, FFmpeg,
# TagLib, the C++ runtime; Qt's X11 platform plugin comes with libqt6gui6), and the lists below
# add what it cannot see: the ffmpeg program for the MP4 export, a font for every script of the
# interface's languages, and Qt's Wayland plugin for Wayland sessions.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvek)
set(CPACK_PACKAGE_VENDOR "Tolvek")
set(CPACK_PACKAGE_CONTACT "Tolvek maintainers <maintainers@tolvek.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Records and reviews infrared eye videos with the head position burnt in")
# The summary above is the synopsis line; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tolvek records the videos of nystagmus examinations in ENT and balance clinics from an\n\
infrared USB eye camera and burns the date and time, the patient ID and a small animated\n\
head showing the head position (from a serial gyro board, a phone over UDP or the keypad)\n\
into every frame. Videos are listed per patient, played frame by frame, trimmed, annotated\n\
with memos, exported to MP4 and backed up by date.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "ffmpeg, fonts-dejavu-core, fonts-noto-cjk, fonts-noto-ui-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# xdg-open starts the web browser for the help pages. Every desktop installs it already; as a
# recommendation it would pull in cpp (through xrdb) on a bare system.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
