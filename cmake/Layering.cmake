# The core must stay free of Qt and of every OS client library, so the
# command line and the daemon never pay for them and the logic stays testable.
get_target_property(_core_libs vigilo_core LINK_LIBRARIES)
foreach(_lib IN LISTS _core_libs)
    if(_lib MATCHES "(Qt|systemd|SYSTEMD|curl|CURL|secret|SECRET|glib)")
        message(FATAL_ERROR "vigilo_core must not link ${_lib}")
    endif()
endforeach()

# Qt is linked by libvigilo-ui.so alone: the executable and the other modules
# start without it.
foreach(_target vigilo_linux_base vigilo_linux vigilo-app vigilo-system vigilo-online vigilo-mqtt)
    get_target_property(_libs ${_target} LINK_LIBRARIES)
    foreach(_lib IN LISTS _libs)
        if(_lib MATCHES "Qt|vigilo_ui_qt")
            message(FATAL_ERROR "${_target} must not link ${_lib}")
        endif()
    endforeach()
endforeach()
