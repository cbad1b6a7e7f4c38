# Install layout, desktop integration (desktop entry, icon, AppStream metadata, manual pages)
# and the Debian package. One application id names the desktop entry, the icon and the metadata.
include(GNUInstallDirs)
set(KORVEL_APP_ID org.korvel.Korvel)
set(KORVEL_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/korvel/plugins)
set(KORVEL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/korvel)
set(KORVEL_DOC_INSTALL_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/korvel)
set(KORVEL_SCREENSHOT_URL "https://korvel.example.org/screenshots/main.png" CACHE STRING
  "Address of the main window's screenshot named in the AppStream metadata")

# The installed program finds its plug-ins and data relative to its own folder, so a moved
# prefix still works.
file(RELATIVE_PATH KORVEL_RELATIVE_PLUGIN_DIR /p/${CMAKE_INSTALL_BINDIR} /p/${KORVEL_PLUGIN_INSTALL_DIR})
file(RELATIVE_PATH KORVEL_RELATIVE_DATA_DIR /p/${CMAKE_INSTALL_BINDIR} /p/${KORVEL_DATA_INSTALL_DIR})
set_property(SOURCE ${PROJECT_SOURCE_DIR}/base/ProgramFolders.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  KORVEL_RELATIVE_PLUGIN_DIR="${KORVEL_RELATIVE_PLUGIN_DIR}" KORVEL_RELATIVE_DATA_DIR="${KORVEL_RELATIVE_DATA_DIR}")

# Every MIME type Korvel reads: the built-in codecs, then the plug-ins that are built.
set(mime_types image/bmp image/gif image/jpeg image/png image/vnd.microsoft.icon)
get_property(plugin_mime_types GLOBAL PROPERTY KORVEL_PLUGIN_MIME_TYPES)
list(APPEND mime_types ${plugin_mime_types})
list(JOIN mime_types ";" KORVEL_MIME_TYPES)
string(APPEND KORVEL_MIME_TYPES ";")
set(KORVEL_METAINFO_MIME "")
foreach(type ${mime_types})
  string(APPEND KORVEL_METAINFO_MIME "    <mediatype>${type}</mediatype>\n")
endforeach()
set(dist ${PROJECT_SOURCE_DIR}/dist)
set(out ${CMAKE_BINARY_DIR}/dist)
configure_file(${dist}/${KORVEL_APP_ID}.desktop.in ${out}/${KORVEL_APP_ID}.desktop @ONLY)
configure_file(${dist}/${KORVEL_APP_ID}.metainfo.xml.in ${out}/${KORVEL_APP_ID}.metainfo.xml @ONLY)

# Manual pages and the changelog go compressed, as Debian wants them.
set(gz_files "")
foreach(pair man/korvel.1:korvel.1.gz man/korvel-tool.1:korvel-tool.1.gz changelog:changelog.gz)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 src)
  list(GET pair 1 gz)
  configure_file(${dist}/${src} ${out}/${gz}.in @ONLY)
  add_custom_command(OUTPUT ${out}/${gz} COMMAND gzip -9nc ${out}/${gz}.in > ${out}/${gz}
    DEPENDS ${out}/${gz}.in)
  list(APPEND gz_files ${out}/${gz})
endforeach()
add_custom_target(korvel_dist_files ALL DEPENDS ${gz_files})

if(KORVEL_BUILD_UI)
  install(TARGETS korvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${KORVEL_QM_FILES} DESTINATION ${KORVEL_DATA_INSTALL_DIR}/translations)
endif()
install(TARGETS korvel-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
get_property(plugins GLOBAL PROPERTY KORVEL_PLUGINS)
if(plugins)
  # Loaded with dlopen, never run: not executable.
  install(TARGETS ${plugins} LIBRARY DESTINATION ${KORVEL_PLUGIN_INSTALL_DIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
# The help files are named after the program.
install(FILES docs/help.html DESTINATION ${KORVEL_DATA_INSTALL_DIR} RENAME korvel.html)
install(FILES docs/help.en.html DESTINATION ${KORVEL_DATA_INSTALL_DIR} RENAME korvel.en.html)
install(FILES ${out}/${KORVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${out}/${KORVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${dist}/icons/${KORVEL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256 512)
  install(FILES ${dist}/icons/${KORVEL_APP_ID}-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${KORVEL_APP_ID}.png)
endforeach()
install(FILES ${out}/korvel.1.gz ${out}/korvel-tool.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md docs/plugins.md formats/SpiApi.h ${dist}/copyright ${out}/changelog.gz
  DESTINATION ${KORVEL_DOC_INSTALL_DIR})

# The Debian package (scripts/build-deb.sh). Dependencies come from the binaries; the format
# libraries that plug-ins open only when they first read a picture are recommended.
function(korvel_package_of soname out_var)
  execute_process(COMMAND dpkg-query -S "*/${soname}" OUTPUT_VARIABLE owner ERROR_QUIET)
  string(REGEX MATCH "^[^:,]+" pkg "${owner}")
  set(${out_var} ${pkg} PARENT_SCOPE)
endfunction()
set(recommends "")
if(TIFF_FOUND)
  if(TIFF_VERSION VERSION_LESS 4.5)
    korvel_package_of(libtiff.so.5 pkg)
  else()
    korvel_package_of(libtiff.so.6 pkg)
  endif()
  list(APPEND recommends ${pkg})
endif()
if(HEIF_FOUND)
  korvel_package_of(libheif.so.1 pkg)
  list(APPEND recommends ${pkg})
endif()
if(JXL_FOUND)
  korvel_package_of(libjxl.so.${JXL_libjxl_VERSION} pkg)
  list(APPEND recommends ${pkg})
endif()
if(RAW_FOUND)
  find_file(libraw_version_h libraw/libraw_version.h HINTS ${RAW_INCLUDE_DIRS})
  file(STRINGS ${libraw_version_h} shlib REGEX "define LIBRAW_SHLIB_CURRENT")
  string(REGEX MATCH "[0-9]+" shlib "${shlib}")
  korvel_package_of(libraw.so.${shlib} pkg)
  list(APPEND recommends ${pkg})
endif()
# Opening files and the help with the desktop's programs, and the Japanese interface font.
list(APPEND recommends xdg-utils "fonts-noto-cjk | fonts-ipafont-gothic")
list(JOIN recommends ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
# Qt loads its window-system plug-ins at run time: without them no window opens (qt6-wayland
# for Wayland desktops, where Korvel must not depend on XWayland). Its own texts (the buttons of
# message boxes) are loaded in Japanese from its translations for a Japanese interface.
# libqt6svg6 holds the SVG icon engine that draws the built-in icons, also a run-time plug-in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland, qt6-translations-l10n, libqt6svg6")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Korvel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image organiser and viewer with thumbnails")
# CPack puts the summary first and indents these lines; an empty line separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Korvel shows a folder tree, a grid of thumbnails and a preview of the
selected image. It copies, moves, deletes and renames files (also with serial
numbers), converts copies to BMP, JPEG or PNG at another size, sets the
wallpaper and runs slideshows. It reads BMP, icon, GIF, JPEG and PNG files,
and WebP, TIFF, HEIF, AVIF and JPEG XL through the plug-ins it ships. The
user interface is in Japanese for a Japanese (or C) locale and in English
for every other.

korvel-tool does the same work from the command line.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Korvel developers <maintainers@users.noreply.c-seed-23730d82.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The package installs under /usr whatever prefix the build was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
