#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/WindowsHeaders.h"

namespace tolvane::ui::win32 {

// The main window frmLista of the Windows front-end: the pending files (lst), the file in
// progress and a notice (lbl), Image1, the progress bar and the footer, laid out from the
// shared twips table at the density of the monitor it is on. Created hidden; Esc and the
// close box hide it through `hide`, nothing here ends the program.
class FrmLista {
  public:
    explicit FrmLista(std::function<void()> hide);
    ~FrmLista();
    FrmLista(const FrmLista&) = delete;
    FrmLista& operator=(const FrmLista&) = delete;

    HWND handle() const { return window_; }
    HWND lst() const { return lst_; }
    HWND lbl(int index) const { return lbl_[index == 0 ? 0 : 1]; }
    HWND pbMain() const { return pbMain_; }

    void SetLabel(int index, const std::string& text);
    // Positions arrive as single-precision numbers; the bar shows whole steps, rounded.
    void SetProgress(float value);
    void ShowFileList(const std::vector<std::string>& names);

    // Esc pressed anywhere in the window hides it; true when `message` was that.
    bool PreviewKey(const MSG& message);

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Places the window and its controls for `dpi`, the fonts made again at that size.
    void Layout(UINT dpi, const RECT* suggested);
    void DeleteFonts();

    std::function<void()> hide_;
    HWND window_ = nullptr;
    HWND lst_ = nullptr;
    HWND fr_ = nullptr;
    HWND image1_ = nullptr;
    HWND lbl_[2] = {nullptr, nullptr};
    HWND pbMain_ = nullptr;
    HWND label1_ = nullptr;
    HFONT formFont_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT footerFont_ = nullptr;
    HICON image_ = nullptr;
};

// The density of the monitor `window` is on (96 when it cannot be told), and of the primary
// one for nullptr.
UINT WindowDpi(HWND window);

}  // namespace tolvane::ui::win32
