#include "scan/issue.h"

#include <mutex>
#include <unordered_set>

namespace tallowin {

namespace {

// Captions are never forgotten: there are few of them, and rows anywhere may point at one.
const std::string& Interned(std::string_view text) {
  static std::mutex mutex;
  static auto* texts = new std::unordered_set<std::string>();
  std::lock_guard<std::mutex> lock(mutex);
  return *texts->emplace(text).first;
}

}  // namespace

ProblemText::ProblemText() : text_(&Interned({})) {}

ProblemText::ProblemText(std::string_view text) : text_(&Interned(text)) {}

}  // namespace tallowin
