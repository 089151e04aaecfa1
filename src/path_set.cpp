#include "path_set.h"

#include <cstring>
#include <random>

namespace {

std::uint64_t rotate(std::uint64_t x, int b) { return x << b | x >> (64 - b); }

void sipRound(std::uint64_t v[4]) {
  v[0] += v[1];
  v[1] = rotate(v[1], 13) ^ v[0];
  v[0] = rotate(v[0], 32);
  v[2] += v[3];
  v[3] = rotate(v[3], 16) ^ v[2];
  v[0] += v[3];
  v[3] = rotate(v[3], 21) ^ v[0];
  v[2] += v[1];
  v[1] = rotate(v[1], 17) ^ v[2];
  v[2] = rotate(v[2], 32);
}

std::uint64_t littleEndian64(const unsigned char* p, std::size_t n) {
  std::uint64_t value = 0;
  for (std::size_t i = n; i-- > 0;) value = value << 8 | p[i];
  return value;
}

std::uint64_t sipHash24(const std::uint64_t key[2], const std::string& text) {
  std::uint64_t v[4] = {
      key[0] ^ 0x736f6d6570736575ULL, key[1] ^ 0x646f72616e646f6dULL,
      key[0] ^ 0x6c7967656e657261ULL, key[1] ^ 0x7465646279746573ULL};
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t whole = text.size() / 8 * 8;
  for (std::size_t at = 0; at < whole; at += 8) {
    const std::uint64_t m = littleEndian64(bytes + at, 8);
    v[3] ^= m;
    sipRound(v);
    sipRound(v);
    v[0] ^= m;
  }
  const std::uint64_t last =
      littleEndian64(bytes + whole, text.size() - whole) |
      static_cast<std::uint64_t>(text.size() & 0xff) << 56;
  v[3] ^= last;
  sipRound(v);
  sipRound(v);
  v[0] ^= last;
  v[2] ^= 0xff;
  for (int i = 0; i < 4; ++i) sipRound(v);
  return v[0] ^ v[1] ^ v[2] ^ v[3];
}

}  // namespace

PathSet::PathSet(std::size_t capacity)
    : hashes_(capacity + capacity / 2 + 1, 0),
      values_(hashes_.size(), 0),
      capacity_(capacity) {
  std::random_device random;
  for (std::uint64_t& part : key_)
    part = static_cast<std::uint64_t>(random()) << 32 | random();
}

std::uint64_t PathSet::hash(const std::string& path) const {
  const std::uint64_t h = sipHash24(key_, path);
  return h == 0 ? 1 : h;  // 0 marks a free slot
}

std::size_t PathSet::slotOf(std::uint64_t h) const {
  // A third of the slots stay free, so the probe ends soon.
  std::size_t slot = h % hashes_.size();
  while (hashes_[slot] != 0 && hashes_[slot] != h)
    slot = slot + 1 == hashes_.size() ? 0 : slot + 1;
  return slot;
}

bool PathSet::insert(const std::string& path, std::uint32_t value,
                     std::uint32_t* first) {
  const std::uint64_t h = hash(path);
  const std::size_t slot = slotOf(h);
  if (hashes_[slot] == h) {
    *first = values_[slot];
    return false;
  }
  if (size_ == capacity_) {
    full_ = true;
    return false;
  }
  hashes_[slot] = h;
  values_[slot] = value;
  ++size_;
  return true;
}

bool PathSet::find(const std::string& path, std::uint32_t* value) const {
  const std::size_t slot = slotOf(hash(path));
  if (hashes_[slot] == 0) return false;
  *value = values_[slot];
  return true;
}
