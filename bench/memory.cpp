// Peak memory of a pass over one large dispatch, the whole road (rewriting, SQLite history,
// upload to a local folder, two backups): a large items file, a large cover sheet, then one made
// of tiny elements, each in a process of its own. Prints the peak against the aim of three times the file plus 30 MB.
//
//   build/default/bench/bench_memory [items MB] [cover sheet MB] [items|cover|tiny]
//
// Sizes default to 50 and 100 MB; a cover sheet of tiny elements is 60 % of the cover sheet's
// size. Naming one case runs only that one, in this process (for a heap profiler).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>

#include "startup/Program.h"
#include "support/DispatchHome.h"
#include "support/ScriptedWindow.h"

namespace {

constexpr double kMB = 1024.0 * 1024.0;

double PeakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Writes a file of about `bytes` from repeated pieces, without holding it in memory.
void WriteLarge(const std::string& path, const std::string& head, const std::string& piece,
                const std::string& tail, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    out << head;
    for (std::size_t written = head.size(); written < bytes; written += piece.size())
        out << piece;
    out << tail;
}

// One pass over the dispatch that `write` puts into the kit; prints and returns 0 when the
// pass went through.
int Measure(const char* what, std::size_t bytes,
            const std::function<void(const std::string& kit)>& write) {
    tolvane::test::DispatchHome home;
    home.Configure("SERVIDOR=file://" + home.Folder("server") +
                   "\nDIRECTORIO=despachos\nRUTA1=" + home.Folder("bck1") +
                   "\nRUTA2=" + home.Folder("bck2") + "\nMILISEGUNDOS=1000\nESPERA=0\n");
    home.Sql("internos",
             "insert into caratula values ('G1', '2010-06-25 09:30:00', "
             "'30712345678', '20222333444', 'Importadora Grande S.A.');");
    write(home.kit());
    tolvane::test::ScriptedWindow window;
    tolvane::startup::Program program(home.os(), home.factory(), window);
    if (program.Main() != tolvane::startup::StartupOutcome::Running) {
        std::cerr << "bench_memory: start-up did not reach the timer\n";
        return 1;
    }
    const double before = PeakMB();
    program.Timer1_Timer();
    if (!window.boxes.empty()) {
        std::cerr << "bench_memory: the pass failed: " << window.boxes[0].text << '\n';
        return 1;
    }
    const double file = static_cast<double>(bytes) / kMB;
    const double peak = PeakMB();
    std::printf(
        "%-12s %6.0f MB file: peak %7.1f MB (%.1f before the pass), %.2f times the "
        "file; aim %.0f MB: %s\n",
        what, file, peak, before, peak / file, 3 * file + 30,
        peak <= 3 * file + 30 ? "met" : "NOT met");
    return 0;
}

// Runs `measure` in a child process, so that each figure is its own peak.
int InChild(const std::function<int()>& measure) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const int status = measure();
        std::fflush(stdout);
        std::_Exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t itemsBytes =
        static_cast<std::size_t>((argc > 1 ? std::atof(argv[1]) : 50) * kMB);
    const std::size_t coverBytes =
        static_cast<std::size_t>((argc > 2 ? std::atof(argv[2]) : 100) * kMB);
    const std::string header = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";
    const std::string caratula =
        "<DESPACHO_RET VERSION=\"4.1\">\r\n  <DESPACHO_CARATULA IDENTIFICADOR_PROPIO=\"G1\" "
        "DESPACHO=\"10073IC04000001G\" DESTINACION=\"IC04\" COD_ADUANA=\"073\" "
        "CUIT_DESPACHANTE=\"XXXXXXXXXXX\" CUIT_IMPO_EXPO=\"XXXXXXXXXXX\" "
        "NOMBRE_IMPO_EXPO=\"XXXXXXXXXXXXXXXXXXXXXXXX\" FECHA_OFICIALIZACION=\"28/06/2010\">\r\n";
    const std::string summary =
        "    <RESUMEN_ITEM NRO=\"1\" POSICION=\"8471.30.12.000X\" DESCRIPCION=\"Computadoras "
        "port\xE1tiles de menos de 10 kg\" FOB=\"1520.35\"/>\r\n";
    const std::string end = "  </DESPACHO_CARATULA>\r\n</DESPACHO_RET>\r\n";
    const std::string item =
        "  <ITEM NRO=\"0001\" DESCRIPCION=\"Tornillos de fijaci\xF3n M8\" "
        "PESO_NETO=\"120.500\"/>\r\n";

    const auto items = [&] {
        return Measure("items", itemsBytes, [&](const std::string& kit) {
            WriteLarge(kit + "C10073IC04000001G.RET", header + caratula, summary, end, 20'000);
            WriteLarge(kit + "I10073IC04000001G.RET", header + "<DESPACHO_ITEMS>\r\n", item,
                       "</DESPACHO_ITEMS>\r\n", itemsBytes);
        });
    };
    const auto cover = [&] {
        return Measure("cover sheet", coverBytes, [&](const std::string& kit) {
            WriteLarge(kit + "C10073IC04000001G.RET", header + caratula, summary, end, coverBytes);
            WriteLarge(kit + "I10073IC04000001G.RET", header + "<DESPACHO_ITEMS>\r\n", item,
                       "</DESPACHO_ITEMS>\r\n", 10'000);
        });
    };
    // The parser's worst case: a cover sheet of elements of a few bytes each.
    const auto tiny = [&] {
        return Measure("tiny cover", coverBytes * 6 / 10, [&](const std::string& kit) {
            WriteLarge(kit + "C10073IC04000001G.RET", header + caratula, "<R N=\"1\"/>\r\n", end,
                       coverBytes * 6 / 10);
            WriteLarge(kit + "I10073IC04000001G.RET", header + "<DESPACHO_ITEMS>\r\n", item,
                       "</DESPACHO_ITEMS>\r\n", 10'000);
        });
    };
    const std::string only = argc > 3 ? argv[3] : "";
    if (only == "items")
        return items();
    if (only == "cover")
        return cover();
    if (only == "tiny")
        return tiny();
    return InChild(items) + InChild(cover) + InChild(tiny) == 0 ? 0 : 1;
}
