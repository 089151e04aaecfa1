// A set of paths that costs a fixed number of bytes per path, whatever the
// paths' lengths: for checks over every entry of an index of millions,
// where holding the names themselves would take many times the index.
//
// A path is held as a 64-bit hash (SipHash-2-4) under a key drawn at random
// for each set, so two different paths are taken for one only when their
// hashes under that key are equal: for a set of n paths asked about m
// others, a chance below n * m / 2^64 (under 1 in 4 million for 2,000,000
// paths each asked about twice), and an archive cannot be made to aim at
// it, since its author does not know the key.
#ifndef EXTRACTGAMEFILE_PATH_SET_H_
#define EXTRACTGAMEFILE_PATH_SET_H_

#include <cstdint>
#include <string>
#include <vector>

class PathSet {
 public:
  // A set with room for |capacity| paths: 18 bytes for each, taken at once.
  explicit PathSet(std::size_t capacity);

  // Adds |path| with |value| when it is not in the set yet and there is
  // room. Returns false when it was already in (|*first| is then the value
  // it was added with) or the set is full (full() tells which).
  bool insert(const std::string& path, std::uint32_t value,
              std::uint32_t* first);

  // True when |path| is in the set; |*value| is then the value it was added
  // with.
  bool find(const std::string& path, std::uint32_t* value) const;

  // True once an insert found no room.
  bool full() const { return full_; }

 private:
  std::uint64_t hash(const std::string& path) const;
  // The slot of |h|, or of the free slot where it would go.
  std::size_t slotOf(std::uint64_t h) const;

  std::uint64_t key_[2];
  std::vector<std::uint64_t> hashes_;  // 0: a free slot
  std::vector<std::uint32_t> values_;
  std::size_t size_ = 0;
  std::size_t capacity_;
  bool full_ = false;
};

#endif  // EXTRACTGAMEFILE_PATH_SET_H_
