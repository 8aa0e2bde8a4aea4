#pragma once

#include <string>

#include "startup/Program.h"
#include "support/ScriptedWindow.h"
#include "support/ShiftedClock.h"
#include "support/TolvaneHome.h"

namespace tolvane::test {

// The cover sheet of a LAPI dispatch, which a pass leaves to the broker's own system.
inline std::string LapiCoverSheet(const std::string& despacho) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><DESPACHO_CARATULA DESPACHO=\"" +
           despacho + "\" DESTINACION=\"LAPI\"/></R>";
}

// A program on a home of its own, wired to its window as the executable wires them, with the
// kit's output folder named in the kit's registry value and two backup folders, all created.
// Its Config.ini, of an office that uploads, is for the tests to rewrite as they need.
template <class Home = TolvaneHome, class Window = ScriptedWindow>
struct ProgramRig {
    ProgramRig() {
        home.SetKitFolder(kit);
        home.WriteConfigIni(
            "[Opciones]\nSERVIDOR=ftp.viejo\nUSUARIO=ana\nPASSWORD=x\nDIRECTORIO=d\n"
            "RUTA1=/b1/\nRUTA2=/b2/\nMILISEGUNDOS=1500\n");
    }

    Home home;
    Window window;
    ShiftedClock clock;
    startup::Program program{home.os(), home.factory(), window, clock};
    const std::string kit = home.Folder("kit/out"), bck1 = home.Folder("bck1"),
                      bck2 = home.Folder("bck2");
};

}  // namespace tolvane::test
