#include "sample.h"

#include "dds.h"

namespace fixture {

std::vector<Entry> sampleEntries() {
  const auto checker = [](std::uint32_t x, std::uint32_t y) -> std::uint32_t {
    return ((x / 2 + y / 2) % 2) ? 0xff8a8a8a : 0xff4a4a4a;
  };
  const auto grass = [](std::uint32_t x, std::uint32_t y) -> std::uint32_t {
    const std::uint32_t green = 0x70 + ((x * 7 + y * 13) % 5) * 0x18;
    return 0xff000000 | (0x20 + y * 4) << 16 | green << 8 | 0x20;
  };
  const auto icon = [](std::uint32_t x, std::uint32_t y) -> std::uint32_t {
    const int dx = static_cast<int>(x) * 2 - 7,
              dy = static_cast<int>(y) * 2 - 7;
    return dx * dx + dy * dy <= 49 ? 0xffe0a020 : 0x00000000;
  };
  return {
      {"textures/", "stone.dds", makeDds(8, 8, checker)},
      {"textures/", "grass.dds", makeDds(8, 8, grass)},
      {"textures/", "readme.txt",
       "Textures of the sample archive, made by the project's tests.\n"},
      {"textures/ui/", "icon.dds", makeDds(8, 8, icon)},
      {"ui/", "layout.xml", "<layout><icon src=\"icon.dds\"/></layout>\n"},
  };
}

std::string sampleArchive() { return buildArchive(sampleEntries()); }

}  // namespace fixture
