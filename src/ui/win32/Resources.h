#pragma once

// Identifiers of the Windows front-end's resources, shared by the resource scripts (which
// windres reads with the C preprocessor, so only #defines here) and the code.

#define IDI_TOLVANE 1          // the program's icon: first in the file, the one Explorer shows
#define IDI_IMAGE1 2           // the picture beside the progress of frmLista
#define IDI_TOLVANE_WARNING 3  // the tray's icon while the last pass ended in failure

#define IDD_FRM_CONFIG 100
#define IDC_TXT_RUTA 101
#define IDC_TXT_RUTABCK1 102
#define IDC_TXT_RUTABCK2 103
#define IDC_TXT_SERVIDOR 104
#define IDC_TXT_DIRECTORIO 105
#define IDC_TXT_USUARIO 106
#define IDC_TXT_PASSWORD 107
#define IDC_LBL_TECLAS 110
#define IDC_LBL_RUTA 121
#define IDC_LBL_RUTABCK1 122
#define IDC_LBL_RUTABCK2 123
