#include "path_pattern.h"

PathPattern::PathPattern(const std::string& pattern) : text_(pattern) {
  std::size_t at = 0;
  while (at < text_.size()) {
    const char c = text_[at];
    if (c == '*') {
      // A run of stars matches what one star matches.
      if (tokens_.empty() || !tokens_.back().star) {
        tokens_.emplace_back();
        tokens_.back().star = true;
      }
      ++at;
      continue;
    }
    if (c == '[') {
      const std::size_t after = parseSet(at);
      if (after != std::string::npos) {
        at = after;
        continue;
      }
    }
    Token token;
    if (c == '?') {
      token.bytes.set();
    } else {
      const bool quoted = c == '\\' && at + 1 < text_.size();
      if (quoted) ++at;
      token.bytes.set(static_cast<unsigned char>(text_[at]));
    }
    tokens_.push_back(token);
    ++at;
  }
}

std::size_t PathPattern::parseSet(std::size_t open) {
  // One byte of the set, quoted or not, at |*at|; moves |*at| past it.
  const auto member = [this](std::size_t* at) {
    if (text_[*at] == '\\' && *at + 1 < text_.size()) ++*at;
    return static_cast<unsigned char>(text_[(*at)++]);
  };
  Token token;
  std::size_t at = open + 1;
  const bool negated =
      at < text_.size() && (text_[at] == '!' || text_[at] == '^');
  if (negated) ++at;
  for (bool first = true;; first = false) {
    if (at >= text_.size()) return std::string::npos;
    if (text_[at] == ']' && !first) break;
    const unsigned char low = member(&at);
    if (at + 1 < text_.size() && text_[at] == '-' && text_[at + 1] != ']') {
      ++at;
      const unsigned char high = member(&at);
      for (unsigned byte = low; byte <= high; ++byte) token.bytes.set(byte);
    } else {
      token.bytes.set(low);
    }
  }
  if (negated) token.bytes.flip();
  tokens_.push_back(token);
  return at + 1;
}

bool PathPattern::matches(const std::string& path) const {
  // Every token but a star takes exactly one byte, so when a token fails,
  // only the last star passed needs to take one byte more: an earlier star
  // taking more could only move the later one's choices, which the last
  // star covers already. Each retry moves the last star's start forward,
  // which bounds the work by path length times pattern length.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t token = 0, at = 0;
  std::size_t starToken = kNone, starAt = 0;
  while (at < path.size()) {
    if (token < tokens_.size() && tokens_[token].star) {
      starToken = token++;
      starAt = at;
    } else if (token < tokens_.size() &&
               tokens_[token].bytes.test(
                   static_cast<unsigned char>(path[at]))) {
      ++token;
      ++at;
    } else if (starToken != kNone) {
      token = starToken + 1;
      at = ++starAt;
    } else {
      return false;
    }
  }
  while (token < tokens_.size() && tokens_[token].star) ++token;
  return token == tokens_.size();
}

bool namesPath(const PathPattern& pattern, const std::string& path) {
  return path == pattern.text() || pattern.matches(path);
}
