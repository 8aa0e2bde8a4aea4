# Where an installation keeps its ODBC driver list, for the install scripts: /etc/tolvane/odbc
# for a /usr installation, <prefix>/etc/tolvane/odbc for any other.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(TOLVANE_ODBC_DIR /etc/tolvane/odbc)
else()
    set(TOLVANE_ODBC_DIR "${CMAKE_INSTALL_PREFIX}/etc/tolvane/odbc")
endif()
