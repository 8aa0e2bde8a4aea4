#include "common/Stop.h"

#include <utility>

namespace tolvane {
namespace {

std::function<bool()>& Check() {
    static std::function<bool()> check;
    return check;
}

}  // namespace

void SetStopCheck(std::function<bool()> check) {
    Check() = std::move(check);
}

bool StopRequested() {
    const auto& check = Check();
    return check && check();
}

}  // namespace tolvane
