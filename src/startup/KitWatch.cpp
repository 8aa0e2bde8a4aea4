#include "startup/KitWatch.h"

#include <algorithm>
#include <cctype>

#include "common/Failure.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "dispatch/Utilities.h"

namespace tolvane::startup {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kDefaultQuiet{1000};
// How often a waiting dispatch is looked at again.
constexpr milliseconds kLookEvery{50};

const char* KindText(platform::FileState::Kind kind) {
    switch (kind) {
        case platform::FileState::Kind::Link:
            return "un enlace simbólico";
        case platform::FileState::Kind::Folder:
            return "una carpeta";
        case platform::FileState::Kind::Pipe:
            return "una tubería con nombre";
        default:
            return "un archivo especial";
    }
}

void RequireOwnFile(const std::string& path, const platform::FileState& state) {
    if (state.kind == platform::FileState::Kind::Missing ||
        state.kind == platform::FileState::Kind::Regular) {
        return;
    }
    throw Failure(failure_number::kPathFileAccess, "Tolvane",
                  "El archivo " + path + " no es un archivo del kit sino " + KindText(state.kind) +
                      ": el despacho no se toma. Reemplácelo por el archivo que escribió el kit "
                      "o quítelo de la carpeta.",
                  Failure::Scope::Item);
}

}  // namespace

milliseconds QuietPeriod(const std::string& espera) {
    const std::string_view trimmed = text::TrimBlanks(espera);
    if (trimmed.empty() || std::isdigit(static_cast<unsigned char>(trimmed[0])) == 0)
        return kDefaultQuiet;
    // A day at most: beyond that the setting is surely a mistake, and the wait must stay finite.
    const double value = std::min(LeadingNumber(trimmed), 86'400'000.0);
    return milliseconds(static_cast<std::int64_t>(RoundHalfEven(value)));
}

void RequireOwnFiles(const std::string& folder, const std::string& coverName,
                     const KitPairState& state) {
    RequireOwnFile(folder + coverName, state.caratula);
    RequireOwnFile(folder + dispatch::ItemsName(coverName), state.items);
}

KitPairState KitWatch::Look(const std::string& folder, const std::string& coverName) {
    return {os_.Examine(folder + coverName), os_.Examine(folder + dispatch::ItemsName(coverName))};
}

void KitWatch::Listed(const std::string& folder, const std::vector<std::string>& coverNames) {
    const auto now = clock_.Now();
    std::map<std::string, Seen> seen;
    for (const auto& name : coverNames) {
        const KitPairState state = Look(folder, name);
        const auto known = seen_.find(name);
        seen[name] =
            known != seen_.end() && known->second.state == state ? known->second : Seen{state, now};
    }
    seen_ = std::move(seen);
}

KitWatch::Outcome KitWatch::WaitUntilStill(const std::string& folder, const std::string& coverName,
                                           milliseconds quiet, const std::function<void()>& yield,
                                           const std::function<bool()>& stopRequested) {
    auto now = clock_.Now();
    const auto giveUp = now + 2 * quiet;
    KitPairState state = Look(folder, coverName);
    RequireOwnFiles(folder, coverName, state);
    auto known = seen_.try_emplace(coverName, Seen{state, now}).first;
    for (;;) {
        Seen& seen = known->second;
        if (seen.state != state)
            seen = {state, now};
        if (now - seen.since >= quiet)
            return {Verdict::Still, state, now - seen.since};
        if (now >= giveUp)
            return {Verdict::Changing, state};
        if (stopRequested && stopRequested())
            return {Verdict::Stopped, state};
        yield();
        const auto left = std::chrono::duration_cast<milliseconds>(quiet - (now - seen.since));
        clock_.Sleep(std::clamp(left, milliseconds(1), kLookEvery));
        now = clock_.Now();
        state = Look(folder, coverName);
        RequireOwnFiles(folder, coverName, state);
    }
}

}  // namespace tolvane::startup
