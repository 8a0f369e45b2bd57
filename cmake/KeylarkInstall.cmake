# Installs Keylark where a Linux desktop finds it: the program, its menu entry, the AppStream metadata,
# the icon in the hicolor theme (SVG, and PNG for launchers that want bitmaps), the manual page and the
# documents a Debian package carries. The translations are compiled into the program.
include(GNUInstallDirs)

set(KEYLARK_APP_ID io.github.keylark.Keylark)
set(keylark_desktop_dir ${CMAKE_SOURCE_DIR}/resources/desktop)
set(KEYLARK_ICON_SIZES 16 24 32 48 64 128 256)

target_compile_definitions(keylark PRIVATE KEYLARK_VERSION="${PROJECT_VERSION}")

add_executable(keylark_render_icon tools/render_icon.cpp)
target_link_libraries(keylark_render_icon PRIVATE Qt6::Gui Qt6::Svg)

set(keylark_generated)
foreach(size IN LISTS KEYLARK_ICON_SIZES)
  set(dir ${CMAKE_BINARY_DIR}/icons/${size}x${size})
  add_custom_command(OUTPUT ${dir}/${KEYLARK_APP_ID}.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND keylark_render_icon ${keylark_desktop_dir}/${KEYLARK_APP_ID}.svg ${dir}/${KEYLARK_APP_ID}.png ${size}
    DEPENDS keylark_render_icon ${keylark_desktop_dir}/${KEYLARK_APP_ID}.svg
    VERBATIM)
  list(APPEND keylark_generated ${dir}/${KEYLARK_APP_ID}.png)
  install(FILES ${dir}/${KEYLARK_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual page and changelog go in gzipped; -n leaves out name and time, so a rebuild gives the same bytes.
configure_file(docs/keylark.1.in ${CMAKE_BINARY_DIR}/man/keylark.1 @ONLY)
configure_file(resources/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog COPYONLY)
foreach(file man/keylark.1 doc/changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/${file}
    DEPENDS ${CMAKE_BINARY_DIR}/${file}
    VERBATIM)
  list(APPEND keylark_generated ${CMAKE_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(keylark_desktop_files ALL DEPENDS ${keylark_generated})

install(TARGETS keylark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${keylark_desktop_dir}/${KEYLARK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${keylark_desktop_dir}/${KEYLARK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${keylark_desktop_dir}/${KEYLARK_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_BINARY_DIR}/man/keylark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz resources/debian/copyright resources/debian/README.Debian
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
