#include "seed_archives.h"

#include "archive_builder.h"
#include "sample.h"

namespace fuzzseed {

std::vector<Seed> seedArchives() {
  using fixture::RawDirectory;
  const std::string data =
      "0123456789abcdef"
      "ghijklmnopqrstuv"
      "wxyz";
  return {
      // A well-formed archive of real textures in nested directories.
      {"sample.cfsi", fixture::sampleArchive()},
      // Two directories, one entry each, both selected.
      {"two-entries.cfsi",
       fixture::buildArchive(
           {{"tex/", "a.dds", std::string("\x0d\x0a\x00\xff", 4)},
            {"ui/", "b.dds", "abc"}})},
      // Nothing but the terminating record.
      {"empty.cfsi", fixture::rawIndex({})},
      // Every kind of entry the extractor must refuse or treat with care,
      // beside ones it must extract: unsafe levels, a zero byte, data before
      // and after the archive, size 0 anywhere, a directory without a final
      // slash, a slash inside a name, aliasing paths and a repeated path.
      {"hostile.cfsi",
       fixture::withDataArea(
           fixture::rawIndex({{"../", {{"up.dds", 0, 2}}},
                              {"a/../../", {{"x.dds", 0, 2}}},
                              {std::string("z\0/", 3), {{"n.dds", 0, 2}}},
                              {"d/",
                               {{"past.dds", 2, 9},
                                {"huge.dds", 0, 0xffffffff},
                                {"before.dds", 0x08000000, 1},
                                {"empty.dds", 0x0abcdef0, 0},
                                {"top.dds", 0x80000001, 4},
                                {"sub/s.dds", 0, 1},
                                {"same.dds", 0, 3}}},
                              {"d", {{"joined.dds", 1, 5}}},
                              {"d//./", {{"same.dds", 1, 2}}},
                              {"\x1b[31m/", {{"\x7f\x80\xff.dds", 2, 4}}}}),
           data)},
      // An index that breaks off inside its second file record.
      {"truncated.cfsi",
       fixture::rawIndex({{"tex/", {{"a.dds", 0, 4}, {"b.dds", 1, 3}}}})
           .substr(0, 30)},
  };
}

}  // namespace fuzzseed
