// Test support: a scratch copy of the probe widget (a widget whose plug-in is
// the test-only BridgeProbe module), removed again when the copy goes away.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace hosttest {

class ScratchWidget {
public:
    ScratchWidget()
    {
        std::string pattern
            = (std::filesystem::temp_directory_path() / "gloam-host-XXXXXX").string();
        m_root = mkdtemp(pattern.data());
        m_widget = m_root / "Probe.wdgt";
        std::filesystem::copy(
            GLOAM_PROBE_WIDGET_DIR, m_widget, std::filesystem::copy_options::recursive);
    }
    ~ScratchWidget()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    ScratchWidget(const ScratchWidget&) = delete;
    ScratchWidget& operator=(const ScratchWidget&) = delete;

    // The folder that holds the widget, for files that must lie outside it.
    const std::filesystem::path& root() const { return m_root; }
    const std::filesystem::path& widget() const { return m_widget; }
    std::filesystem::path bundle() const { return m_widget / "BridgeProbe.widgetplugin"; }

    void write(const std::filesystem::path& path, const std::string& text) const
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

private:
    std::filesystem::path m_root;
    std::filesystem::path m_widget;
};

inline std::string infoPlist(const std::string& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + entries
        + "</dict>\n</plist>\n";
}

inline std::string plistString(const std::string& key, const std::string& value)
{
    return "<key>" + key + "</key><string>" + value + "</string>\n";
}

} // namespace hosttest
