// The engine's scalar functions against the table in
// tests/data/umb-functions.tsv: angle reductions, degree trigonometry, the
// day/night test, Julian Dates, sidereal time, the solar model's functions,
// the two projections' conversions.
#include "umb/UMBBoxBlur.h"
#include "umb/UMBDate.h"
#include "umb/UMBDefines.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBSun.h"

#include "support/UmbFixtures.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

// A conversion's result, which must be a single-precision value widened.
double single(double value)
{
    EXPECT_EQ(value, double(float(value))) << "not single precision";
    return value;
}

platform::Point onEquirectangular(const std::vector<double>& a, bool toMap)
{
    umb::UMBEquirectangular r(1000, 500);
    r.setMaporigin({a[2], a[3]});
    return toMap ? r.geographicToPhysical(float(a[0]), float(a[1]))
                 : r.physicalToGeographic(float(a[0]), float(a[1]));
}

umb::UMBMillerCylindrical miller(const std::vector<double>& a)
{
    umb::UMBMillerCylindrical r(1000, 734);
    r.setUpperLatitude(a[0]);
    r.setMaporigin({0, a[1]});
    return r;
}

// Colour space 0 to 3: device RGB, calibrated RGB, device grey, calibrated grey.
platform::Color colour(const std::vector<double>& a)
{
    using C = platform::Color;
    switch (int(a[0])) {
    case 0:
        return C::deviceRGB(a[1], a[2], a[3], a[4]);
    case 1:
        return C::calibratedRGB(a[1], a[2], a[3], a[4]);
    case 2:
        return C::deviceGray(a[1], a[2]);
    }
    return C::calibratedGray(a[1], a[2]); // grey rows hold two values only
}

umb::UMBDate atJD(double jd)
{
    umb::UMBDate d;
    d.initializeJD(jd);
    return d;
}

umb::UMBDate atUTC(const std::vector<double>& a)
{
    umb::UMBDate d;
    d.initializeUTC(
        int32_t(a[0]), int32_t(a[1]), int32_t(a[2]), int32_t(a[3]), int32_t(a[4]), a[5]);
    return d;
}

double dayNumber(const umb::UMBDate& d)
{
    return std::stod(d.getDayNumber());
}

} // namespace

TEST(UMBScalarFunctionsTest, TabledValues)
{
    using A = const std::vector<double>&;
    std::map<std::string, std::function<double(A)>> functions = {
        {"pointIsVisible",
            [](A a) { return umb::UMBDefines::pointIsVisible(a[0], a[1], a[2], a[3]); }},
        {"roundDecimal", [](A a) { return umb::roundDecimal(a[0], int32_t(a[1])); }},
        {"getJD", [](A a) { return umb::UMBDate::getJD(a[0], a[1], a[2], a[3], a[4], a[5]); }},
        {"calendarOfJD", [](A a) { return dayNumber(atJD(a[0])); }},
        {"calendarOfUTC", [](A a) { return dayNumber(atUTC(a)); }},
        {"colorToInteger",
            [](A a) { return double(uint32_t(umb::UMBImageOps().colorToInteger(colour(a)))); }},
        {"numberFromColor",
            [](A a) { return double(uint32_t(umb::UMBImageOps::numberFromColor(colour(a)))); }},
        {"siderealTime", [](A a) { return atJD(a[0]).localSiderialTime(a[1]); }},
        {"FNday", [](A a) { return umb::FNday(a[0], a[1], a[2], a[3]); }},
        {"FNsunDegrees", [](A a) { return umb::FNsun(a[0]) * 180 / 3.141592653589793; }},
        {"clamp", [](A a) { return umb::clamp(int32_t(a[0]), int32_t(a[1]), int32_t(a[2])); }},
        {"equirectangularX", [](A a) { return single(onEquirectangular(a, true).x); }},
        {"equirectangularY", [](A a) { return single(onEquirectangular(a, true).y); }},
        {"equirectangularLon", [](A a) { return single(onEquirectangular(a, false).x); }},
        {"equirectangularLat", [](A a) { return single(onEquirectangular(a, false).y); }},
        {"millerY", [](A a) { return single(miller(a).geographicToPhysical(0, float(a[2])).y); }},
        {"millerLat",
            [](A a) { return single(miller(a).physicalToGeographic(500, float(a[2])).y); }},
    };
    const std::map<std::string, double (*)(double)> unary = {{"range", umb::range},
        {"range360", umb::range360}, {"range24", umb::range24}, {"ipart", umb::ipart},
        {"hrrad", umb::hrrad}, {"radhr", umb::radhr}, {"deghr", umb::deghr}, {"hrdeg", umb::hrdeg},
        {"degrad", umb::degrad}, {"raddeg", umb::raddeg}, {"dsin", umb::dsin}, {"dcos", umb::dcos},
        {"dtan", umb::dtan}, {"dasin", umb::dasin}, {"dacos", umb::dacos}, {"datan", umb::datan},
        {"FNrange", umb::FNrange}, {"FNipart", umb::FNipart}, {"FNacos", umb::FNacos},
        {"FNasin", umb::FNasin}, {"verifyRange", umb::verifyRange},
        {"millerOrdinate", umb::UMBMillerCylindrical::millerOrdinate}};
    const std::map<std::string, double (*)(double, double)> binary
        = {{"datan2", umb::datan2}, {"FNatn2", umb::FNatn2}};
    for (const auto& [name, f] : unary)
        functions.emplace(name, [f](A a) { return f(a[0]); });
    for (const auto& [name, f] : binary)
        functions.emplace(name, [f](A a) { return f(a[0], a[1]); });
    for (const auto& row : testing_support::dataTable("umb-functions.tsv")) {
        ASSERT_EQ(row.size(), 4u);
        std::vector<double> args;
        std::istringstream in(row[1]);
        for (std::string word; in >> word;)
            args.push_back(std::stod(word));
        const double want = std::stod(row[2]), tolerance = std::stod(row[3]);
        ASSERT_TRUE(functions.contains(row[0])) << row[0];
        const double got = functions.at(row[0])(args);
        if (std::isnan(want))
            EXPECT_TRUE(std::isnan(got)) << row[0] << "(" << row[1] << ") = " << got;
        else if (tolerance == 0)
            EXPECT_DOUBLE_EQ(got, want) << row[0] << "(" << row[1] << ")";
        else
            EXPECT_NEAR(got, want, tolerance) << row[0] << "(" << row[1] << ")";
    }
}
