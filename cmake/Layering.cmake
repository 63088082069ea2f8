# The core must stay free of Qt and of every OS client library, so the
# command line and the daemon never pay for them and the logic stays testable.
get_target_property(_core_libs vigilo_core LINK_LIBRARIES)
foreach(_lib IN LISTS _core_libs)
    if(_lib MATCHES "(Qt|systemd|SYSTEMD|curl|CURL|secret|SECRET|glib)")
        message(FATAL_ERROR "vigilo_core must not link ${_lib}")
    endif()
endforeach()
