// WidgetHost: one widget folder with its plug-in, as a browser reaches it.
// It loads the plug-in on its executor, hands it the window script object,
// and answers HTTP requests: the bridge's script and calls, and the widget's
// own files. It owns the executor, the window and the loaded plug-in; every
// call into the plug-in, its creation and its destruction run on the executor.
#pragma once

#include "host/Bridge.h"
#include "host/Executor.h"
#include "host/PluginLoader.h"
#include "host/ScriptWindow.h"
#include "host/StaticFiles.h"
#include "host/WidgetInfo.h"
#include "platform/HttpServer.h"

#include <memory>
#include <optional>
#include <string_view>

namespace host {

// The largest call body the bridge reads.
inline constexpr size_t kMaxCallBytes = 16 * 1024;

// Followed by the path of a widget file: its identity (StaticFiles::identity),
// so that a page can tell whether a call replaced a file. A missing file has
// an empty one, not a 404 in the page's console.
inline constexpr std::string_view kFileIdentityPrefix = "/_bridge/identity/";

class WidgetHost {
public:
    // Reads the widget's Info.plist and loads its plug-in, if it names one.
    // Throws WidgetError or PluginLoadError.
    explicit WidgetHost(const std::string& widgetDir);
    ~WidgetHost();

    WidgetHost(const WidgetHost&) = delete;
    WidgetHost& operator=(const WidgetHost&) = delete;

    const WidgetInfo& widget() const { return m_widget; }

    // The loopback port the page is served on. Requests must name it in
    // their Host header (and Origin, when they send one).
    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }

    // Refuses a request from its line and headers alone: 400 for a Host,
    // Origin or Content-Type given twice or a malformed Content-Length, 403
    // for a foreign Host or Origin, 411 for a Transfer-Encoding, 415 for a
    // Content-Encoding or a call that is not JSON, 413 for a declared body
    // over kMaxCallBytes. None lets it through.
    std::optional<platform::HttpResponse> screen(const platform::HttpRequest& request) const;
    // Answers a request that passed the screen, with its body read.
    platform::HttpResponse answer(const platform::HttpRequest& request) const;

    // Headers that go on every answer: no sniffing, no caching, and a content
    // policy that lets the page load only from the host.
    static platform::HttpHeaders everyAnswerHeaders();

private:
    bool isOwnAuthority(std::string_view authority) const;

    WidgetInfo m_widget;
    StaticFiles m_files;
    int m_port = 0;
    Executor m_executor; // destroyed last: the plug-in goes on its thread
    ScriptWindow m_window;
    Bridge m_bridge;
    std::unique_ptr<PluginLoader> m_plugin;
};

} // namespace host
