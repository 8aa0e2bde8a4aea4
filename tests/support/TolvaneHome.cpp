#include "support/TolvaneHome.h"

namespace tolvane::test {

TolvaneHome::TolvaneHome() {
    for (const auto& folder :
         {Program(), Registry(), Autostart(), ProgramFiles(), dir_.path() / "runtime"})
        fs::create_directories(folder);
    WriteFile(Program() / "QuillonConfig.ini",
              "[INTERNOS]\nConnectionString=Driver=SQLite3;Database=" +
                  (Program() / "internos.db").string() +
                  "\n[HISTORIAL]\nConnectionString=Driver=SQLite3;Database=" +
                  (Program() / "historial.db").string() + "\n");
    os_ = MakePlatform();
    components::RegisterStandardComponents(factory_, *os_);
}

std::string TolvaneHome::Folder(const std::string& relative) const {
    const auto folder = dir_.path() / relative;
    fs::create_directories(folder);
    return folder.string() + "/";
}

void TolvaneHome::WriteConfigIni(const std::string& content) const {
    WriteFile(Program() / "Config.ini", content);
}
}  // namespace tolvane::test
