#include "app/Application.h"

#include "app/FrontEnd.h"
#include "common/ExitStatus.h"
#include "common/Failure.h"
#include "common/Stop.h"
#include "components/ComponentFactory.h"
#include "platform/Platform.h"
#include "platform/StopSource.h"
#include "startup/Program.h"

namespace tolvane::app {

int RunProgram(FrontEnd& frontEnd, const platform::StopSource& stop, const Options& options) {
    ui::Window& window = frontEnd.window();
    try {
        const auto os = platform::CreatePlatform();
        os->UseProgramOdbcDrivers();
        components::ComponentFactory factory;
        components::RegisterStandardComponents(factory, *os);
        startup::Program program(*os, factory, window);
        const auto stopRequested = [&stop] { return stop.Requested(); };
        program.setStopRequested(stopRequested);
        SetStopCheck(stopRequested);
        frontEnd.Attach(program);

        switch (program.Main()) {
            case startup::StartupOutcome::PreviousInstance:
                return exit_status::kOk;
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
