// The processor time of a timer tick that finds nothing to send, as a resident program spends
// it every period: with an empty kit folder, and with thousands of files in it that are none of
// the kit's (a shared folder others use too). Settings reloaded, the folder claimed, listed and
// shown, as the program does.
//
//   build/default/bench/bench_idle_tick [ticks] [unrelated files]   (defaults 2000, 2000)

#include <ctime>
#include <cstdio>
#include <iostream>
#include <string>

#include "startup/Program.h"
#include "support/ScriptedWindow.h"
#include "support/TolvaneHome.h"

namespace {

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Processor milliseconds per tick over `ticks` ticks, with `unrelated` files in the kit folder.
double MsPerTick(int ticks, int unrelated) {
    tolvane::test::TolvaneHome home;
    const std::string kit = home.Folder("kit/out");
    home.SetKitFolder(kit);
    home.WriteConfigIni("[Opciones]\nSERVIDOR=ftp.oficina\nUSUARIO=u\nPASSWORD=p\n"
                        "DIRECTORIO=d\nRUTA1=" + home.Folder("bck1") + "\nRUTA2=" +
                        home.Folder("bck2") + "\nMILISEGUNDOS=1000\n");
    for (int i = 0; i < unrelated; ++i)
        tolvane::test::WriteFile(kit + "planilla-" + std::to_string(i) + ".xlsx", "x");
    tolvane::test::ScriptedWindow window;
    tolvane::startup::Program program(home.os(), home.factory(), window);
    if (program.Main() != tolvane::startup::StartupOutcome::Running) {
        std::cerr << "bench_idle_tick: start-up did not reach the timer\n";
        std::exit(1);
    }
    program.Timer1_Timer();  // warm
    const double start = ProcessCpuMs();
    for (int i = 0; i < ticks; ++i)
        program.Timer1_Timer();
    const double perTick = (ProcessCpuMs() - start) / ticks;
    if (!window.boxes.empty()) {
        std::cerr << "bench_idle_tick: a tick failed: " << window.boxes[0].text << '\n';
        std::exit(1);
    }
    return perTick;
}

}  // namespace

int main(int argc, char** argv) {
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int unrelated = argc > 2 ? std::atoi(argv[2]) : 2000;
    std::printf("idle tick, empty kit folder:            %.3f ms of processor time\n",
                MsPerTick(ticks, 0));
    std::printf("idle tick, %5d unrelated files in it: %.3f ms of processor time (target <= 2)\n",
                unrelated, MsPerTick(ticks, unrelated));
    return 0;
}
