#pragma once

namespace tolvane::ui {
class Window;
}

namespace tolvane::startup {

// The processing timer `Timer1`: a period of 0 to 65 535 ms; it does not fire before it is
// enabled, and every enabling starts a new full period.
class Timer {
  public:
    explicit Timer(ui::Window& window) : window_(window) {}
    // Fails with "invalid property value" (380) outside 0..65 535.
    void setInterval(double milliseconds);
    void setEnabled(bool enabled);
    unsigned interval() const { return interval_; }
    bool enabled() const { return enabled_; }

  private:
    ui::Window& window_;
    unsigned interval_ = 0;
    bool enabled_ = false;
};

}  // namespace tolvane::startup
