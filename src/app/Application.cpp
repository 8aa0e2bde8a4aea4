#include "app/Application.h"

#include <cstdlib>
#include <iostream>

#include "app/FrontEnd.h"
#include "common/ExitStatus.h"
#include "common/Failure.h"
#include "common/Stop.h"
#include "components/ComponentFactory.h"
#include "platform/Platform.h"
#include "platform/StopSource.h"
#include "startup/ActivityLog.h"
#include "startup/Program.h"

namespace tolvane::app {
namespace {

constexpr int kKeptLogDays = 400;

}  // namespace

int RunProgram(FrontEnd& frontEnd, const platform::StopSource& stop, const Options& options) {
    ui::Window& window = frontEnd.window();
    try {
        const auto os = platform::CreatePlatform();
        os->UseProgramOdbcDrivers();
        components::ComponentFactory factory;
        components::RegisterStandardComponents(factory, *os);
        // Under the system's journal (a systemd unit) the log's lines go to it as well.
        startup::ActivityLog log(*os, std::cerr,
                                 std::getenv("JOURNAL_STREAM") != nullptr ? &std::cerr : nullptr);
        log.RemoveOlderThan(kKeptLogDays);
        startup::Program program(*os, factory, window);
        program.setActivityLog(&log);
        // The end of a program that started, however it ends.
        struct Ending {
            startup::Program& program;
            startup::ActivityLog& log;
            ~Ending() {
                if (program.started())
                    log.Write("Tolvane terminado");
            }
        } ending{program, log};
        const auto stopRequested = [&stop] { return stop.Requested(); };
        program.setStopRequested(stopRequested);
        SetStopCheck(stopRequested);
        frontEnd.Attach(program);

        switch (program.Main()) {
            case startup::StartupOutcome::PreviousInstance:
                // A resident instance is left its work in silence; a single pass asked for is
                // told not to have run, so that whoever asked does not take it as done.
                if (!options.once)
                    return exit_status::kOk;
                std::cerr << "Tolvane: otro Tolvane de este usuario está en ejecución y atiende "
                             "la carpeta del kit: esta pasada no se hizo.\n";
                return exit_status::kAnotherInstance;
            case startup::StartupOutcome::Cancelled:
                return exit_status::kNotRunning;
            case startup::StartupOutcome::Idle:
                if (options.once)
                    return exit_status::kNotRunning;
                break;
            case startup::StartupOutcome::Running:
                if (options.once) {
                    program.Timer1_Timer();
                    program.Form_Terminate();
                    return program.failuresReported() > 0 ? exit_status::kPassFailed
                                                          : exit_status::kOk;
                }
                break;
        }
        frontEnd.RunLoop([&program] { program.Timer1_Timer(); });
        program.Form_Terminate();
        return exit_status::kOk;
    } catch (const Interrupted&) {
        // A stop came while a box was open or a server was waited on: a requested end.
        return exit_status::kOk;
    } catch (...) {
        window.ReportUntrappedFailure(CurrentFailure());
        return exit_status::kUntrapped;
    }
}

}  // namespace tolvane::app
