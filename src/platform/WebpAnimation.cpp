#include "platform/WebpAnimation.h"

#include "platform/PixelConvert.h"
#include "platform/WebpLibrary.h"

namespace platform {

struct WebpAnimation::Encoder {
    WebPAnimEncoder* encoder = nullptr;
    ~Encoder()
    {
        if (encoder)
            webpLibrary()->WebPAnimEncoderDelete(encoder);
    }
};

WebpAnimation::WebpAnimation(int width, int height, int frameMillis, std::optional<int> quality)
    : encoder_(std::make_unique<Encoder>())
    , width_(width)
    , height_(height)
    , frameMillis_(frameMillis)
    , quality_(quality)
{
    const WebpLibrary* webp = webpLibrary();
    WebPAnimEncoderOptions options;
    if (!webp || !webp->WebPAnimEncoderOptionsInitInternal(&options, WEBP_MUX_ABI_VERSION))
        return;
    options.anim_params.loop_count = 0; // for ever
    // Lossless frames stay lossless: no lossy sub-frames mixed in.
    options.allow_mixed = 0;
    encoder_->encoder
        = webp->WebPAnimEncoderNewInternal(width, height, &options, WEBP_MUX_ABI_VERSION);
}

WebpAnimation::~WebpAnimation() = default;

bool WebpAnimation::addFrame(const Bitmap& frame)
{
    if (!encoder_->encoder || frame.width() != width_ || frame.height() != height_)
        return false;
    // With an encoder, the library is loaded.
    const WebpLibrary& webp = *webpLibrary();
    WebPConfig config;
    if (!webp.WebPConfigInitInternal(&config, WEBP_PRESET_DEFAULT, 75.f, WEBP_ENCODER_ABI_VERSION))
        return false;
    if (quality_) {
        config.lossless = 0;
        config.quality = float(*quality_);
    } else {
        config.lossless = 1;
        // Pixels under full transparency keep their colour: a decoded frame
        // is then the very picture drawn.
        config.exact = 1;
        // The fastest lossless effort: larger files, several times quicker.
        config.method = 0;
        config.quality = 0;
    }
    WebPPicture picture;
    if (!webp.WebPPictureInitInternal(&picture, WEBP_ENCODER_ABI_VERSION))
        return false;
    picture.width = width_;
    picture.height = height_;
    picture.use_argb = 1;
    // libwebp takes straight samples; the bitmap's are premultiplied.
    std::vector<uint8_t> straight(size_t(width_) * size_t(height_) * 4);
    int imported = 0;
    if (frame.hasAlpha()) {
        for (int y = 0; y < height_; ++y)
            unpremultiplyRows(
                straight.data() + size_t(y) * width_ * 4, frame.pixelAt(0, y), size_t(width_));
        imported = webp.WebPPictureImportRGBA(&picture, straight.data(), width_ * 4);
    } else {
        imported = webp.WebPPictureImportRGB(&picture, frame.data(), int(frame.bytesPerRow()));
    }
    const bool ok = imported
        && webp.WebPAnimEncoderAdd(encoder_->encoder, &picture, frames_ * frameMillis_, &config);
    webp.WebPPictureFree(&picture);
    if (ok)
        ++frames_;
    return ok;
}

std::optional<std::vector<uint8_t>> WebpAnimation::finish()
{
    if (!encoder_->encoder)
        return std::nullopt;
    const WebpLibrary& webp = *webpLibrary();
    if (!webp.WebPAnimEncoderAdd(encoder_->encoder, nullptr, frames_ * frameMillis_, nullptr))
        return std::nullopt;
    WebPData data {};
    if (!webp.WebPAnimEncoderAssemble(encoder_->encoder, &data))
        return std::nullopt;
    std::vector<uint8_t> bytes(data.bytes, data.bytes + data.size);
    webp.WebPFree(const_cast<uint8_t*>(data.bytes));
    return bytes;
}

} // namespace platform
