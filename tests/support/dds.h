// Small genuine DDS textures, made here, for the sample archive and tests.
#ifndef EXTRACTGAMEFILE_TESTS_DDS_H_
#define EXTRACTGAMEFILE_TESTS_DDS_H_

#include <cstdint>
#include <functional>
#include <string>

namespace fixture {

// An uncompressed 32-bit DDS texture (B8G8R8A8 in memory, one mip level) of
// |width| x |height| pixels; |pixel(x, y)| gives each pixel as 0xAARRGGBB.
std::string makeDds(
    std::uint32_t width, std::uint32_t height,
    const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& pixel);

// Size of the header makeDds writes in front of the pixels, magic included.
constexpr std::size_t kDdsHeaderBytes = 128;

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_DDS_H_
