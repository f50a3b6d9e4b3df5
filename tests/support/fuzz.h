#pragma once
// Random edits of a valid text, for the fuzz tests of the parsers.

#include <random>
#include <string>

namespace tallowin::testing_support {

// One to four edits: a character replaced or inserted from `alphabet`, a run erased,
// the text cut short, or a piece of it repeated elsewhere.
inline std::string Mutate(std::string text, const std::string& alphabet, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const size_t pos = rng() % text.size();
    switch (rng() % 5) {
      case 0: text[pos] = alphabet[rng() % alphabet.size()]; break;
      case 1: text.insert(pos, 1, alphabet[rng() % alphabet.size()]); break;
      case 2: text.erase(pos, 1 + rng() % 8); break;
      case 3: text.resize(pos); break;
      default: text.insert(pos, text.substr(rng() % text.size(), rng() % 20)); break;
    }
  }
  return text;
}

}  // namespace tallowin::testing_support
