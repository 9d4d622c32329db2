#include "BenchSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <filesystem>

#include "GloamPlugin.h"
#include "platform/Canvas.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/ImageCodec.h"

namespace bench {

std::string resourcePath(const std::string& name)
{
    return GloamPlugin::worldImagePath(
        std::string(GLOAM_SOURCE_DIR) + "/widget/Gloam.wdgt/GloamPlugin.widgetplugin", name);
}

std::vector<uint8_t> readFile(const std::string& path)
{
    auto bytes = platform::readFile(path);
    if (!bytes) {
        std::fprintf(stderr, "bench: %s\n", bytes.error().message().c_str());
        std::exit(1);
    }
    if (bytes->empty()) {
        std::fprintf(stderr, "bench: %s is empty\n", path.c_str());
        std::exit(1);
    }
    return std::move(*bytes);
}

void writeFile(const std::string& path, std::span<const uint8_t> bytes)
{
    auto written = platform::writeFileAtomically(path, bytes);
    if (!written) {
        std::fprintf(stderr, "bench: %s\n", written.error().message().c_str());
        std::exit(1);
    }
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

platform::Bitmap stretched(const platform::Bitmap& bitmap, int width, int height)
{
    platform::Image source(bitmap.clone());
    platform::Image target(platform::Size {double(width), double(height)});
    {
        platform::Canvas canvas(target);
        canvas.setInterpolation(platform::Interpolation::High);
        canvas.drawImage(source, platform::Rect {{0, 0}, {double(width), double(height)}}, {},
            platform::CompositeOp::Copy, 1.0);
    }
    return std::move(*target.bitmap());
}

platform::Bitmap worldMapAt(int width, int height)
{
    if (width == worldMap().width() && height == worldMap().height())
        return worldMap().clone();
    return stretched(worldMap(), width, height);
}

const std::string& scratchDir()
{
    struct Scratch {
        std::string path;
        Scratch()
        {
            std::string pattern = (std::filesystem::temp_directory_path() / "gloam-bench-XXXXXX");
            if (!mkdtemp(pattern.data())) {
                std::fprintf(stderr, "bench: cannot make a scratch folder\n");
                std::exit(1);
            }
            path = pattern;
        }
        ~Scratch()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Scratch scratch;
    return scratch.path;
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
