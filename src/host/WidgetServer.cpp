#include "host/WidgetServer.h"

namespace host {

namespace {

platform::HttpServer::Limits withCallLimit(platform::HttpServer::Limits limits)
{
    limits.maxBodyBytes = kMaxCallBytes;
    return limits;
}

} // namespace

WidgetServer::WidgetServer(
    const std::string& widgetDir, int port, platform::HttpServer::Limits limits)
    : m_host(widgetDir)
    , m_server({[this](const platform::HttpRequest& request) { return m_host.screen(request); },
                   [this](const platform::HttpRequest& request) { return m_host.answer(request); }},
          withCallLimit(limits), WidgetHost::everyAnswerHeaders())
{
    m_host.setPort(m_server.bind(kLoopbackAddress, port));
}

std::string WidgetServer::url() const
{
    return "http://" + std::string(kLoopbackAddress) + ":" + std::to_string(port()) + "/";
}

} // namespace host
