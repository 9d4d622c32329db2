// Prints the subsolar point at 2000-01-01 12:00:30 UTC through the installed
// engine alone.
#include "umb/UMBDate.h"
#include "umb/UMBSun.h"

#include <cstdio>

int main()
{
    umb::UMBDate date;
    date.initializeUTC(1, 1, 2000, 12, 0, 30);
    const umb::UMBSun sun(date);
    std::printf("subsolar point: lat %.4f, lon %.4f\n", sun.getSubsolar().y, sun.getSubsolar().x);
}
