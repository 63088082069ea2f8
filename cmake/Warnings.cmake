add_library(vigilo_warnings INTERFACE)
target_compile_options(vigilo_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough -Wformat=2
    # Designated initializers leave the rest default on purpose.
    -Wno-missing-field-initializers)
if(VIGILO_WERROR)
    target_compile_options(vigilo_warnings INTERFACE -Werror)
endif()
