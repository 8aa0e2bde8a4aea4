#pragma once

// The texts of the program's version record, as plain #defines: the executable's version
// resource (which windres reads with the C preprocessor) says what the program says.

#define TOLVANE_TITLE "Tolvane"
#define TOLVANE_COMPANY "Brenmoor"  // the publisher, as the installer names it
#define TOLVANE_FILE_DESCRIPTION "Generado 28-06-2010"
