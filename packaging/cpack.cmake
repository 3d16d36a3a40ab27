# cpack -G DEB: romhaul_<version>-<release>_<arch>.deb from the install rules above. It
# packs whatever the build folder holds, stripped, so a RelWithDebInfo build serves as
# well as a Release one.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME romhaul)
set(CPACK_PACKAGE_VENDOR "Romhaul team")
set(CPACK_PACKAGE_CONTACT "Romhaul team <romhaul.list@lists.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://romhaul.example.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware look-ups for phone repairers")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's libraries only recommend their window-system plugins (xcb, wayland) and their own
# catalogues: without them the program cannot open a window, nor word Qt's dialogs in
# Chinese. shlibdeps adds the libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
# The Chinese window texts want a CJK font; addresses open through xdg-open; the vendors
# speak HTTPS.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils, ca-certificates")
set(CPACK_PACKAGE_DESCRIPTION "Romhaul looks up the firmware packages that five sources publish (Huawei,
ZTE, Coolpad, LG and an iPhone firmware catalogue), lists them with sizes,
dates, versions and notes, and opens the chosen package's download address
in the default browser.")

set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/deb-extras.cmake)

include(CPack)
