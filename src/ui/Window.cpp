#include "ui/Window.h"

#include "common/Text.h"

namespace tolvane::ui {

std::string NotifyIconData::ShownTip() const {
    std::string bytes;
    for (char c : szTip) {
        if (c == '\0' || bytes.size() == 63)
            break;
        bytes.push_back(c);
    }
    return text::Latin1ToUtf8(bytes);
}

}  // namespace tolvane::ui
