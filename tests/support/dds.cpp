#include "dds.h"

#include "archive_coding.h"

namespace fixture {

namespace {

// DDS stores its fields little-endian too.
void putU32(std::string* out, std::uint32_t value) {
  archive::putFixed32(out, value);
}

// Header flags and pixel-format bits of the DirectDraw Surface format.
constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8,
                        kPixelFormat = 0x1000;
constexpr std::uint32_t kAlphaPixels = 0x1, kRgb = 0x40;
constexpr std::uint32_t kCapsTexture = 0x1000;

}  // namespace

std::string makeDds(
    std::uint32_t width, std::uint32_t height,
    const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& pixel) {
  std::string out = "DDS ";
  putU32(&out, 124);  // header size
  putU32(&out, kCaps | kHeight | kWidth | kPitch | kPixelFormat);
  putU32(&out, height);
  putU32(&out, width);
  putU32(&out, width * 4);                       // pitch: bytes per row
  putU32(&out, 0);                               // depth
  putU32(&out, 0);                               // mip map count
  for (int i = 0; i < 11; ++i) putU32(&out, 0);  // reserved
  putU32(&out, 32);                              // pixel format size
  putU32(&out, kRgb | kAlphaPixels);
  putU32(&out, 0);           // four-character code: none
  putU32(&out, 32);          // bits per pixel
  putU32(&out, 0x00ff0000);  // red mask
  putU32(&out, 0x0000ff00);  // green mask
  putU32(&out, 0x000000ff);  // blue mask
  putU32(&out, 0xff000000);  // alpha mask
  putU32(&out, kCapsTexture);
  for (int i = 0; i < 4; ++i) putU32(&out, 0);  // caps 2 to 4, reserved
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) putU32(&out, pixel(x, y));
  return out;
}

}  // namespace fixture
