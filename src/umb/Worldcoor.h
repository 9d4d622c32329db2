// Worldcoor: a plain record of a world coordinate system, the relation between
// an image's pixels and the sky, as a FITS WCS header describes it. A value
// type that owns its texts; a text that was never set is absent (nullopt),
// which is not the same as empty.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace umb {

struct Worldcoor {
    double xref = 0; // sky coordinates of the reference pixel, degrees
    double yref = 0;
    double xrefpix = 0; // the reference pixel
    double yrefpix = 0;
    double xinc = 0; // degrees per pixel at the reference pixel
    double yinc = 0;
    double rot = 0; // rotation, degrees, with its cosine and sine
    double crot = 0;
    double srot = 0;
    double cd11 = 0; // the CD matrix and its inverse
    double cd12 = 0;
    double cd21 = 0;
    double cd22 = 0;
    double dc11 = 0;
    double dc12 = 0;
    double dc21 = 0;
    double dc22 = 0;
    double mrot = 0;
    double cmrot = 0;
    double smrot = 0;
    double xmpix = 0;
    double ympix = 0;
    double equinox = 0;
    double epoch = 0;
    double nxpix = 0; // image size, pixels
    double nypix = 0;
    double plate_ra = 0; // plate solution
    double plate_dec = 0;
    double plate_scale = 0;
    double x_pixel_offset = 0;
    double y_pixel_offset = 0;
    double x_pixel_size = 0;
    double y_pixel_size = 0;
    std::array<double, 6> ppo_coeff {};
    std::array<double, 20> amd_x_coeff {};
    std::array<double, 20> amd_y_coeff {};
    double xpix = 0;
    double ypix = 0;
    double xpos = 0;
    double ypos = 0;
    int32_t pcode = 0; // projection code
    int32_t changesys = 0;
    int32_t printsys = 0;
    int32_t ndec = 0;
    int32_t degout = 0;
    int32_t tabsys = 0;
    int32_t rotmat = 0;
    int32_t coorflip = 0;
    int32_t offscl = 0;
    int32_t plate_fit = 0;
    int32_t wcson = 0;
    int32_t detector = 0;
    std::optional<std::string> instrument;
    std::optional<std::string> c1type; // axis types, such as "RA" and "DEC"
    std::optional<std::string> c2type;
    std::array<std::optional<std::string>, 8> aux_strings {};
    std::optional<std::string> ptype; // projection type, such as "TAN"
    std::optional<std::string> radecsys;
    std::optional<std::string> sysout;
    std::optional<std::string> center;
    double fCenterRa = 0;
    double fCenterDec = 0;
    double fHalfWidthRa = 0;
    double fHalfWidthDec = 0;
    double fWidthDeg = 0;
    double fHeightDeg = 0;
    double degPerPixelx = 0;
    double degPerPixely = 0;
    int8_t aux_flag = 0;
};

} // namespace umb
