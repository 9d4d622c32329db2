// gloam serve: the widget host. Shows the widget's page to a browser on this
// machine and runs its plug-in; stops on Ctrl-C (SIGINT) or SIGTERM.
#include "cli/Command.h"
#include "cli/WidgetLocation.h"
#include "host/WidgetServer.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <pthread.h>
#include <thread>

namespace {

struct ServeOptions {
    std::optional<std::string> widget;
    int port = host::kDefaultPort;
};

int serve(const ServeOptions& options)
{
    std::string widgetDir = cli::resolveWidgetDir(options.widget);

    // The signals go to one watcher thread, blocked everywhere else; it is
    // blocked here, before the host starts its threads, so they inherit it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    // Sent by serve() itself to end the watcher when serving ends otherwise.
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    host::WidgetServer server(widgetDir, options.port);
    std::printf("Gloam widget host: %s\n", server.url().c_str());
    std::printf("Serving %s; press Ctrl-C to stop.\n", server.host().widget().widgetDir.c_str());
    std::fflush(stdout);

    int received = 0;
    std::thread watcher([&] {
        sigwait(&stopSignals, &received);
        server.stop();
    });
    server.run();
    if (received == 0)
        pthread_kill(watcher.native_handle(), SIGUSR1);
    watcher.join();
    if (received != SIGUSR1 && received != 0)
        std::printf("Stopped.\n");
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "serve",
    "Run the widget host: show the widget in a browser on this machine",
    [](CLI::App& app) -> std::function<int()> {
        auto options = std::make_shared<ServeOptions>();
        app.add_option("--widget", options->widget,
               "Widget folder to serve (default: the built widget, else the installed one)")
            ->type_name("DIR");
        app.add_option("--port", options->port,
               "Port on 127.0.0.1 (0 picks a free one; default "
                   + std::to_string(host::kDefaultPort) + ")")
            ->type_name("N")
            ->check(CLI::Range(0, 65535));
        app.footer("The host listens on 127.0.0.1 only and prints the address to open.");
        return [options] { return serve(*options); };
    },
}};

} // namespace
