// Dispatches per second through the rewriting alone: 20 KB cover sheets parsed, completed
// from the SQLite operations table, written out and recorded in HISTORIAL.
//
//   build/default/bench/bench_rewriting [dispatches]     (default 1000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "KitDispatches.h"
#include "common/Failure.h"
#include "dispatch/ArchivarXML.h"

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    tolvane::test::DispatchHome home;
    tolvane::bench::AddDispatches(home, count);
    tolvane::Context& context = home.context();

    try {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) {
            tolvane::dispatch::ArchivarXML(context, home.kit(),
                                           "C" + tolvane::bench::DispatchNumber(i) + ".RET");
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf(
            "rewriting: %d dispatches (20 KB cover sheets, SQLite) in %.2f s: "
            "%.0f dispatches/s, %.2f ms each\n",
            count, seconds, count / seconds, 1000 * seconds / count);
    } catch (const tolvane::Failure& failure) {
        std::cerr << "bench_rewriting: " << failure.description() << '\n';
        return 1;
    }
    return 0;
}
