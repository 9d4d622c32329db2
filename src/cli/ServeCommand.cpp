// gloam serve: the widget host. Shows the widget's page to a browser on this
// machine and runs its plug-in; stops on Ctrl-C (SIGINT) or SIGTERM.
#include "cli/Command.h"
#include "cli/OptionValues.h"
#include "cli/WidgetLocation.h"
#include "host/WidgetServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

struct ServeOptions {
    std::optional<std::string> widget;
    std::optional<std::string> port;
    bool open = false;
};

// Hands the address to the desktop's opener and leaves it running: some
// openers stay until the browser they started ends. Whatever goes wrong is
// said on standard error; the host serves on regardless.
void openInBrowser(const std::string& url)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The opener must not inherit the stop signals blocked for the watcher.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    // Keeps standard output to the host's own lines.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "xdg-open", argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "xdg-open", &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed) {
        std::fprintf(stderr, "gloam serve: cannot run xdg-open (%s); open %s yourself\n",
            std::strerror(failed), url.c_str());
        return;
    }
    std::thread([pid, url] {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
            std::fprintf(stderr,
                "gloam serve: xdg-open could not open a browser; open %s yourself\n", url.c_str());
    }).detach();
}

int serve(const ServeOptions& options)
{
    std::string widgetDir = cli::resolveWidgetDir(options.widget);
    const int port = options.port ? cli::wholeInRange("--port", *options.port, "a port", 0, 65535)
                                  : host::kDefaultPort;

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
    // A file-size limit reached while the picture is written must fail that
    // write, which the host reports, not end the host.
    std::signal(SIGXFSZ, SIG_IGN);

    host::WidgetServer server(widgetDir, port);
    std::printf("Gloam widget host: %s\n", server.url().c_str());
    std::printf("Serving %s; press Ctrl-C to stop.\n", server.host().widget().widgetDir.c_str());
    std::fflush(stdout);
    // The server listens from its construction: the page can be asked for.
    if (options.open)
        openInBrowser(server.url());

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
            ->type_name("N");
        app.add_flag("--open", options->open,
            "Open the page in the desktop's browser (xdg-open) once the host listens");
        app.footer("The host listens on 127.0.0.1 only and prints the address to open.");
        return [options] { return serve(*options); };
    },
}};

} // namespace
