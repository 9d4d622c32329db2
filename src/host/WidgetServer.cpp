#include "host/WidgetServer.h"

namespace host {

WidgetServer::WidgetServer(const std::string& widgetDir, int port)
    : m_host(widgetDir)
    , m_server({[this](const platform::HttpRequest& request) { return m_host.screen(request); },
                   [this](const platform::HttpRequest& request) { return m_host.answer(request); }},
          kMaxCallBytes, WidgetHost::everyAnswerHeaders())
{
    m_host.setPort(m_server.bind(kLoopbackAddress, port));
}

std::string WidgetServer::url() const
{
    return "http://" + std::string(kLoopbackAddress) + ":" + std::to_string(port()) + "/";
}

} // namespace host
