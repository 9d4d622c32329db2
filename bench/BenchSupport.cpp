#include "BenchSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/ImageCodec.h"

namespace bench {

std::string resourcePath(const std::string& name)
{
    return std::string(GLOAM_SOURCE_DIR)
        + "/widget/Gloam.wdgt/GloamPlugin.widgetplugin/Contents/Resources/worldimages/" + name;
}

std::vector<uint8_t> readFile(const std::string& path)
{
    auto bytes = platform::readFile(path);
    if (!bytes || bytes->empty()) {
        std::fprintf(stderr, "bench: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return std::move(*bytes);
}

const platform::Bitmap& worldMap()
{
    static const platform::Bitmap map = [] {
        auto decoded = platform::decodeImage(readFile(resourcePath("world_sm.1.jpg")));
        if (!decoded) {
            std::fprintf(stderr, "bench: cannot decode the January map\n");
            std::exit(1);
        }
        return decoded->toRGBA();
    }();
    return map;
}

platform::Bitmap shadeMask(int width, int height)
{
    platform::Bitmap mask(width, height);
    for (int y = 0; y < height; ++y) {
        double t = double(y) / height;
        int edge = int(width * (0.5 + 0.2 * std::sin(t * 2 * M_PI)));
        for (int x = edge; x < width; ++x)
            mask.pixelAt(x, y)[3] = 191;
    }
    return mask;
}

} // namespace bench
