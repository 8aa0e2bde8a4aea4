// A pass over a backlog of kit-like dispatches, the whole road: 20 KB cover sheets rewritten
// with the SQLite databases, sent to a loopback FTP server, backed up into two folders.
// Prints dispatches per second, where the time goes and the peak memory.
//
//   build/default/bench/bench_backlog [dispatches]     (default 1000)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "KitDispatches.h"
#include "components/uploader/CurlUploader.h"
#include "startup/Program.h"
#include "support/DispatchHome.h"
#include "support/FtpServer.h"
#include "support/ScriptedWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The real uploader, its answers timed.
struct TimingUploader : tolvane::components::Uploader {
    void setSERVIDOR(const std::string& v) override { real.setSERVIDOR(v); }
    void setUSUARIO(const std::string& v) override { real.setUSUARIO(v); }
    void setPassword(const std::string& v) override { real.setPassword(v); }
    void setdirectorio(const std::string& v) override { real.setdirectorio(v); }
    void setautomatico(bool v) override { real.setautomatico(v); }
    bool SubirArchivo(const std::string& joined) override {
        const auto start = Clock::now();
        const bool sent = real.SubirArchivo(joined);
        uploadTime += Clock::now() - start;
        return sent;
    }
    static inline Clock::duration uploadTime{};
    tolvane::components::CurlUploader real;
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (const std::string why = tolvane::test::FtpServer::Unavailable(); !why.empty()) {
        std::cerr << "bench_backlog: " << why << '\n';
        return 1;
    }
    tolvane::test::FtpServer server;
    tolvane::test::DispatchHome home;
    home.Configure("SERVIDOR=" + server.Url() + "\nUSUARIO=" + tolvane::test::FtpServer::kUser +
                   "\nPASSWORD=" + tolvane::test::FtpServer::kPassword +
                   "\nDIRECTORIO=despachos\nRUTA1=" + home.Folder("bck1") +
                   "\nRUTA2=" + home.Folder("bck2") + "\nMILISEGUNDOS=1000\n");

    tolvane::bench::AddDispatches(home, count);
    home.factory().Register(tolvane::components::kUploader,
                            [] { return std::make_unique<TimingUploader>(); });

    // The pass yields five times per dispatch; the fourth comes right after the rewriting and
    // the fifth after the upload and the backups.
    tolvane::test::ScriptedWindow window;
    Clock::duration rewriting{}, distribution{};
    int yieldInDispatch = 0;
    std::string dispatchShown;
    Clock::time_point mark = Clock::now();
    window.onDoEvents = [&] {
        const auto now = Clock::now();
        // Each dispatch starts by showing its own name.
        if (window.labels[0] != dispatchShown) {
            dispatchShown = window.labels[0];
            yieldInDispatch = 0;
        }
        ++yieldInDispatch;
        if (yieldInDispatch == 4)
            rewriting += now - mark;
        if (yieldInDispatch == 5)
            distribution += now - mark;
        mark = now;
    };

    tolvane::startup::Program program(home.os(), home.factory(), window);
    if (program.Main() != tolvane::startup::StartupOutcome::Running) {
        std::cerr << "bench_backlog: start-up did not reach the timer\n";
        return 1;
    }
    const auto start = Clock::now();
    program.Timer1_Timer();
    const double total = Seconds(Clock::now() - start);

    if (!window.boxes.empty()) {
        std::cerr << "bench_backlog: the pass failed: " << window.boxes[0].text << '\n';
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double upload = Seconds(TimingUploader::uploadTime);
    std::printf("dispatches:        %d (20 KB cover sheets, SQLite, FTP on loopback, 2 backups)\n",
                count);
    std::printf("pass:              %.2f s, %.1f dispatches/s\n", total, count / total);
    std::printf("  rewriting:       %.2f s (%.0f%%)\n", Seconds(rewriting),
                100 * Seconds(rewriting) / total);
    std::printf("  upload:          %.2f s (%.0f%%)\n", upload, 100 * upload / total);
    std::printf("  backups:         %.2f s (%.0f%%)\n", Seconds(distribution) - upload,
                100 * (Seconds(distribution) - upload) / total);
    std::printf("peak memory:       %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
