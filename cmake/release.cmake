# Where the source is published: the AppStream homepage, the copyright
# file's Source and the Windows installed programs list.
set(NODECONFIG_REPOSITORY_URL "https://github.com/nodeconfig/nodeconfig" CACHE STRING
    "Where the source is published")

# The release this source is: the latest entry of packaging/debian/changelog
# gives its version and date (NODECONFIG_RELEASE_VERSION, _DATE as
# YYYY-MM-DD), for the manual pages, the AppStream metadata and the Debian
# package. The entry must name project()'s version; the package check fails
# otherwise.
set(NODECONFIG_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NODECONFIG_CHANGELOG})
file(STRINGS ${NODECONFIG_CHANGELOG} changelog_lines)
set(NODECONFIG_RELEASE_VERSION "")
set(NODECONFIG_RELEASE_DATE "")
foreach(line IN LISTS changelog_lines)
    if(NOT NODECONFIG_RELEASE_VERSION AND line MATCHES "^nodeconfig \\(([^)]+)\\)")
        set(NODECONFIG_RELEASE_VERSION ${CMAKE_MATCH_1})
    elseif(NOT NODECONFIG_RELEASE_DATE AND line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
        set(day ${CMAKE_MATCH_1})
        set(year ${CMAKE_MATCH_3})
        set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
        list(FIND months ${CMAKE_MATCH_2} month)
        math(EXPR month "${month} + 1")
        foreach(part day month)
            string(LENGTH "${${part}}" digits)
            if(digits EQUAL 1)
                set(${part} "0${${part}}")
            endif()
        endforeach()
        set(NODECONFIG_RELEASE_DATE "${year}-${month}-${day}")
    endif()
endforeach()
if(NOT NODECONFIG_RELEASE_VERSION OR NOT NODECONFIG_RELEASE_DATE)
    message(FATAL_ERROR "${NODECONFIG_CHANGELOG}: no entry with a version and a date found")
endif()
if(NOT NODECONFIG_RELEASE_VERSION STREQUAL PROJECT_VERSION)
    message(WARNING "${NODECONFIG_CHANGELOG} ends at ${NODECONFIG_RELEASE_VERSION}, project() says "
                    "${PROJECT_VERSION}: add an entry for it")
endif()
