# The install layout. The documentation folder is named after the package, as Debian expects;
# the program finds its manual there by a path relative to its own folder, so an installed copy
# works under any prefix and in an unpacked package tree alike.
set(CMAKE_INSTALL_DOCDIR share/doc/orbanel)
include(GNUInstallDirs)

set(ORBANEL_MANUAL_NAME orbanel.html)
file(RELATIVE_PATH ORBANEL_DOC_FROM_BIN
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DOCDIR})
# The menu entry tells an installed program too, where the documentation was left out.
set(ORBANEL_APP_ID com.kestrova.Orbanel)
file(RELATIVE_PATH ORBANEL_DESKTOP_ENTRY_FROM_BIN
    ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_FULL_DATADIR}/applications/${ORBANEL_APP_ID}.desktop)
