# One interface target carries the language level, the warnings and Qt's
# strictness switches; every target of the project links it.
add_library(linkvane_options INTERFACE)
target_compile_features(linkvane_options INTERFACE cxx_std_20)
target_compile_options(linkvane_options INTERFACE
    -Wall -Wextra -Wnon-virtual-dtor -Wold-style-cast)
target_compile_definitions(linkvane_options INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_KEYWORDS)
if(LINKVANE_WERROR)
    target_compile_options(linkvane_options INTERFACE -Werror)
endif()
if(LINKVANE_SANITIZE)
    target_compile_options(linkvane_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(linkvane_options INTERFACE -fsanitize=address,undefined)
endif()
