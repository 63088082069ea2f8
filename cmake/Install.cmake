# The desktop's side of an installation: user unit, D-Bus activation, desktop
# entry, metainfo, icons, completions, manual pages. The prefix is fixed when
# the build is configured (`make install PREFIX=...`): the unit's ExecStart,
# the D-Bus service's Exec, the helper's path and the locale folder are built
# from it. DESTDIR is honoured.

# systemd finds user units under <datadir>/systemd/user of ~/.local and
# /usr/local; for /usr, in the folder its pkg-config file names.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    pkg_get_variable(VIGILO_USER_UNIT_DIR systemd systemduserunitdir)
endif()
if(NOT VIGILO_USER_UNIT_DIR)
    set(VIGILO_USER_UNIT_DIR ${CMAKE_INSTALL_DATADIR}/systemd/user)
endif()
configure_file(data/vigilo.service.in ${CMAKE_BINARY_DIR}/data/vigilo.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/vigilo.service DESTINATION ${VIGILO_USER_UNIT_DIR})

# Calling a shortcut action while nothing runs starts Vigilo first.
configure_file(data/com.vigilo.app.service.in ${CMAKE_BINARY_DIR}/data/com.vigilo.app.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/com.vigilo.app.service DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/services)
install(FILES data/com.vigilo.app.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/com.vigilo.app.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The tray's symbolic status icons are installed with the UI module.
install(DIRECTORY data/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

install(FILES completions/vigilo.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME vigilo)
# Debian's zsh reads vendor-completions for packages, site-functions for
# local installs.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(VIGILO_ZSH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
else()
    set(VIGILO_ZSH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
endif()
install(FILES completions/_vigilo DESTINATION ${VIGILO_ZSH_COMPLETION_DIR})
install(FILES completions/vigilo.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

install(FILES man/vigilo.1 man/vigilo-app.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    install(CODE "message(NOTICE \"polkit reads actions only from /usr/share/polkit-1/actions: for closed-lid \"
        \"mode and the system-wide command, copy \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/polkit-1/actions/\"
        \"com.vigilo.app.policy there (as root).\")")
endif()
