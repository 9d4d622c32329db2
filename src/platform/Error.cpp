#include "platform/Error.h"

#include <system_error>

namespace platform {

Error Error::fromErrno(std::string what, std::string path, int errorNumber)
{
    // The system category's text is strerror's, without its shared buffer:
    // the composite is drawn on more than one thread.
    Error error(Code::System, std::move(what), std::move(path),
        std::error_code(errorNumber, std::system_category()).message());
    error.errorNumber_ = errorNumber;
    return error;
}

Error Error::about(std::string what, std::string path) const
{
    Error error = *this;
    error.what_ = std::move(what);
    error.path_ = std::move(path);
    return error;
}

std::string Error::message() const
{
    std::string text = "cannot " + what_;
    if (!path_.empty())
        text += " " + path_;
    return text + ": " + why_;
}

} // namespace platform
