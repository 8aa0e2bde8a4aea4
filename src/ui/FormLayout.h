#pragma once

// The main window frmLista as every windowed front-end lays it out: its client area and
// controls in twips (15 a pixel at 96 dpi, scaled by the screen's density), and its texts.

namespace tolvane::ui::layout {

struct TwipsRect {
    double left, top, width, height;
};

inline constexpr const char* kFrmListaCaption = "Importación de Archivos XML";
inline constexpr double kFrmListaWidth = 5910;
inline constexpr double kFrmListaHeight = 4965;

inline constexpr TwipsRect kLst{0, 0, 5895, 3015};
// The frame around the pass in progress; the next four lie inside it, placed from its corner.
inline constexpr TwipsRect kFr{0, 3000, 5895, 1575};
inline constexpr TwipsRect kImage1{120, 180, 420, 420};
inline constexpr TwipsRect kLblFile{120, 240, 5685, 195};    // lbl(0), bold
// lbl(1), which wraps: two lines, ending above the bar (drawn down to 1275 it lay over the bar
// and, repainted during a pass, hid it).
inline constexpr TwipsRect kLblNotice{120, 480, 5685, 465};
inline constexpr TwipsRect kPbMain{120, 960, 5655, 375};

// The footer, bold Tahoma; a wider stand-in font grows it to the left, keeping its right edge.
inline constexpr TwipsRect kLabel1{4440, 4680, 1335, 240};
inline constexpr double kLabel1Points = 9.75;
inline constexpr const char* kLabel1Text = "[Esc] - Cerrar";

inline constexpr double kFormFontPoints = 8;

}  // namespace tolvane::ui::layout
