// ScopedEnv: sets (or unsets) environment variables for one test and puts the
// old values back when it goes. Tests that depend on the zone or the locale
// pin them with it.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const char* name, const char* value) { set(name, value); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
        ::tzset();
    }

    // A null `value` unsets the variable.
    ScopedEnv& set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
        ::tzset();
        return *this;
    }

    // The zone and the C locale of dates, pinned together.
    static void pinZoneAndLocale(ScopedEnv& env, const char* zone, const char* locale = "C")
    {
        env.set("TZ", zone).set("LC_ALL", locale).set("LC_TIME", nullptr).set("LANG", nullptr);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace testing_support
