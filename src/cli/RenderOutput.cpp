#include "cli/RenderOutput.h"

#include "cli/Command.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace cli {

namespace {

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(
        ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

} // namespace

OutputFormat outputFormat(const std::string& path)
{
    if (path == "-")
        return OutputFormat::StandardOutput;
    const std::string ext = lowerExtension(path);
    if (ext == ".png")
        return OutputFormat::Png;
    if (ext == ".jpg" || ext == ".jpeg")
        return OutputFormat::Jpeg;
    if (ext == ".webp")
        return OutputFormat::Webp;
    throw UsageError("-o: " + path
        + " has no picture extension; name a .png, .jpg, .jpeg or .webp file, or - for PNG "
          "on standard output");
}

void writeOutput(const platform::Image& picture, const std::string& path, OutputFormat format,
    std::optional<int> quality)
{
    const platform::Bitmap* bitmap = picture.bitmap();
    if (!bitmap)
        throw std::runtime_error("nothing was drawn to write to " + path);
    auto encode = [&]() -> platform::ErrorOr<std::vector<uint8_t>> {
        switch (format) {
        case OutputFormat::Jpeg:
            return platform::encodeJpeg(*bitmap, quality.value_or(90));
        case OutputFormat::Webp:
            return platform::encodeWebp(*bitmap, quality);
        case OutputFormat::Png:
        case OutputFormat::StandardOutput:
            break;
        }
        return platform::encodePng(*bitmap);
    };
    platform::ErrorOr<std::vector<uint8_t>> bytes = encode();
    if (!bytes)
        throw std::runtime_error(bytes.error().about("encode the picture for", path).message());
    if (format == OutputFormat::StandardOutput) {
        if (std::fwrite(bytes->data(), 1, bytes->size(), stdout) != bytes->size()
            || std::fflush(stdout) != 0)
            throw std::runtime_error("cannot write the picture to standard output");
        return;
    }
    // The write's own reason: the system's text for what went wrong.
    platform::ErrorOr<void> written
        = platform::writeFileAtomically(path, *bytes, platform::Durability::Replaced);
    if (!written)
        throw std::runtime_error(written.error().message());
}

platform::Image overBackground(const platform::Image& picture, std::array<uint8_t, 3> colour)
{
    const platform::Bitmap* in = picture.bitmap();
    if (!in || !in->hasAlpha())
        return picture.clone();
    platform::Bitmap out(in->width(), in->height(), platform::PixelFormat::RGB);
    for (int y = 0; y < in->height(); ++y) {
        const uint8_t* s = in->pixelAt(0, y);
        uint8_t* d = out.pixelAt(0, y);
        for (int x = 0; x < in->width(); ++x, s += 4, d += 3) {
            // Premultiplied over opaque: the colour shows through by 1 - alpha.
            const unsigned keep = 255u - s[3];
            for (int c = 0; c < 3; ++c)
                d[c] = uint8_t(std::min(255u, s[c] + (colour[size_t(c)] * keep + 127) / 255));
        }
    }
    return platform::Image(std::move(out));
}

} // namespace cli
