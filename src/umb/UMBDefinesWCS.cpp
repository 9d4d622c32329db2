// The world-coordinate dump: one line per field on standard output, for
// diagnosis. It is kept apart from the angle helpers, which print nothing.
#include "umb/UMBDefines.h"

#include <cstdio>

namespace umb {

namespace {

void printText(const char* name, const std::optional<std::string>& text)
{
    // An absent text prints as an empty value, the same as an empty one.
    std::printf("%s %s\n", name, text ? text->c_str() : "");
}

template<size_t N> void printCoefficients(const char* name, const std::array<double, N>& values)
{
    for (size_t i = 0; i < N; ++i)
        std::printf("%s[%i] = %.15f\n", name, static_cast<int>(i), values[i]);
}

} // namespace

void UMBDefines::printWCS(Worldcoor w)
{
#define GLOAM_DOUBLE(field) std::printf(#field " %.6f\n", w.field)
#define GLOAM_INT(field) std::printf(#field " %i\n", static_cast<int>(w.field))
#define GLOAM_TEXT(field) printText(#field, w.field)
    GLOAM_DOUBLE(xref);
    GLOAM_DOUBLE(yref);
    GLOAM_DOUBLE(xrefpix);
    GLOAM_DOUBLE(yrefpix);
    GLOAM_DOUBLE(xinc);
    GLOAM_DOUBLE(yinc);
    GLOAM_DOUBLE(rot);
    GLOAM_DOUBLE(crot);
    GLOAM_DOUBLE(srot);
    GLOAM_DOUBLE(cd11);
    GLOAM_DOUBLE(cd12);
    GLOAM_DOUBLE(cd21);
    GLOAM_DOUBLE(cd22);
    GLOAM_DOUBLE(dc11);
    GLOAM_DOUBLE(dc12);
    GLOAM_DOUBLE(dc21);
    GLOAM_DOUBLE(dc22);
    GLOAM_DOUBLE(mrot);
    GLOAM_DOUBLE(cmrot);
    GLOAM_DOUBLE(smrot);
    GLOAM_DOUBLE(xmpix);
    GLOAM_DOUBLE(ympix);
    GLOAM_DOUBLE(equinox);
    GLOAM_DOUBLE(epoch);
    GLOAM_DOUBLE(nxpix);
    GLOAM_DOUBLE(nypix);
    GLOAM_DOUBLE(plate_ra);
    GLOAM_DOUBLE(plate_dec);
    GLOAM_DOUBLE(plate_scale);
    GLOAM_DOUBLE(x_pixel_offset);
    GLOAM_DOUBLE(y_pixel_offset);
    GLOAM_DOUBLE(x_pixel_size);
    GLOAM_DOUBLE(y_pixel_size);
    // The coefficient arrays, declared here, print at the end.
    GLOAM_DOUBLE(xpix);
    GLOAM_DOUBLE(ypix);
    GLOAM_DOUBLE(xpos);
    GLOAM_DOUBLE(ypos);
    GLOAM_INT(pcode);
    GLOAM_INT(changesys);
    GLOAM_INT(printsys);
    GLOAM_INT(ndec);
    GLOAM_INT(degout);
    GLOAM_INT(tabsys);
    GLOAM_INT(rotmat);
    GLOAM_INT(coorflip);
    GLOAM_INT(offscl);
    GLOAM_INT(plate_fit);
    GLOAM_INT(wcson);
    GLOAM_INT(detector);
    GLOAM_TEXT(instrument);
    GLOAM_TEXT(c1type);
    GLOAM_TEXT(c2type);
    // aux_strings and aux_flag are scratch space and never printed.
    GLOAM_TEXT(ptype);
    GLOAM_TEXT(radecsys);
    GLOAM_TEXT(sysout);
    GLOAM_TEXT(center);
    GLOAM_DOUBLE(fCenterRa);
    GLOAM_DOUBLE(fCenterDec);
    GLOAM_DOUBLE(fHalfWidthRa);
    GLOAM_DOUBLE(fHalfWidthDec);
    GLOAM_DOUBLE(fWidthDeg);
    GLOAM_DOUBLE(fHeightDeg);
    GLOAM_DOUBLE(degPerPixelx);
    GLOAM_DOUBLE(degPerPixely);
#undef GLOAM_DOUBLE
#undef GLOAM_INT
#undef GLOAM_TEXT
    printCoefficients("ppo_coeff", w.ppo_coeff);
    printCoefficients("amd_x_coeff", w.amd_x_coeff);
    printCoefficients("amd_y_coeff", w.amd_y_coeff);
}

} // namespace umb
