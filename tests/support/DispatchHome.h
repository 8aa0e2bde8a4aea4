#pragma once

#include <string>

#include "config/Context.h"
#include "support/TolvaneHome.h"

namespace tolvane::test {

// A home ready to rewrite dispatches: both SQLite databases made from the project's schema,
// the operations table seeded, the per-user store pointing at the broker's configuration,
// dates read day first, and a kit folder holding copies of the fixture dispatches.
class DispatchHome : public TolvaneHome {
  public:
    DispatchHome();

    // Runs SQL on one of the program's SQLite files ("internos" or "historial"); what it prints.
    std::string Sql(const std::string& database, const std::string& statements) const;
    // One text line per HISTORIAL row, columns joined with " | ", ordered by DESPACHO.
    std::vector<std::string> HistoryRows() const;
    // Copies a fixture file of tests/data/kit into the kit folder, under another name if given.
    void AddKitFile(const std::string& name, const std::string& as = "") const;
    // Both files of a fixture dispatch, "C<id>.RET" and "I<id>.RET", under another id if given.
    void AddKitDispatch(const std::string& id, const std::string& as = "") const;
    // Points the kit's registry value at the kit folder and writes Config.ini.
    void Configure(const std::string& optionsSection) const;
    // The text of a golden output, with the logon name put in for its placeholder. With
    // TOLVANE_UPDATE_GOLDEN=1 in the environment the golden file is first rewritten from
    // `produced`, for a change of output that is meant (review the diff).
    std::string Golden(const std::string& name, const std::string& produced);

    const std::string& kit() const { return kit_; }
    Context& context() { return context_; }

  private:
    std::string kit_;
    Context context_;
};

}  // namespace tolvane::test
