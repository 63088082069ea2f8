# Message catalogues: po/<language>.po is compiled into
# <build>/locale/<language>/LC_MESSAGES/vigilo.mo and installed under the
# locale folder the executable was built with. `pot` extracts every text
# passed to tr() or trFormat() (or the Qt windows' translated()) into
# po/vigilo.pot; their "{}" placeholders are fmt's, never printf's.

find_program(VIGILO_XGETTEXT xgettext)
find_program(VIGILO_MSGFMT msgfmt)

file(GLOB_RECURSE VIGILO_TRANSLATED_SOURCES CONFIGURE_DEPENDS
    RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h)
list(SORT VIGILO_TRANSLATED_SOURCES)
add_custom_target(pot
    COMMAND ${VIGILO_XGETTEXT} --language=C++ --from-code=UTF-8 --keyword=tr --keyword=trFormat --keyword=translated
        --keyword=trPlural:1,2 --keyword=trPluralFormat:1,2 --flag=trPluralFormat:1:no-c-format --flag=trPluralFormat:2:no-c-format
        --flag=tr:1:no-c-format --flag=trFormat:1:no-c-format --flag=translated:1:no-c-format
        --add-comments=TRANSLATORS: --package-name=vigilo --package-version=${PROJECT_VERSION}
        --sort-by-file -o po/vigilo.pot ${VIGILO_TRANSLATED_SOURCES}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Extracting the texts into po/vigilo.pot"
    VERBATIM)

file(GLOB VIGILO_CATALOGUES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/po/*.po)
set(VIGILO_COMPILED_CATALOGUES)
foreach(catalogue IN LISTS VIGILO_CATALOGUES)
    if(NOT VIGILO_MSGFMT)
        message(FATAL_ERROR "msgfmt (gettext) is needed to compile ${catalogue}")
    endif()
    get_filename_component(language ${catalogue} NAME_WE)
    set(compiled ${CMAKE_BINARY_DIR}/locale/${language}/LC_MESSAGES/vigilo.mo)
    add_custom_command(OUTPUT ${compiled}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/locale/${language}/LC_MESSAGES
        COMMAND ${VIGILO_MSGFMT} --check -o ${compiled} ${catalogue}
        DEPENDS ${catalogue}
        VERBATIM)
    list(APPEND VIGILO_COMPILED_CATALOGUES ${compiled})
    install(FILES ${compiled} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
add_custom_target(translations ALL DEPENDS ${VIGILO_COMPILED_CATALOGUES})
