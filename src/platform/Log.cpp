#include "platform/Log.h"

#include <string>
#include <unistd.h>

namespace platform {

void log(std::string_view line)
{
    std::string text(line);
    text.push_back('\n');
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0)
            return; // nowhere to report a failing log
        p += n;
        left -= static_cast<size_t>(n);
    }
}

} // namespace platform
