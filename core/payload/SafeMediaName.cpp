#include "core/payload/SafeMediaName.h"

namespace lumafolio {

bool IsSafeRelativeName(const std::string& name) {
  if (name.empty()) return false;
  if (name.front() == '\\' || name.front() == '/') return false;
  if (name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    const std::string element = name.substr(start, end - start);
    // Windows drops trailing dots and spaces from a name element, so ". ." or ".. " may act as
    // "..": refuse every element made only of dots and spaces that holds two dots or more.
    const bool onlyDotsAndSpaces = element.find_first_not_of(". ") == std::string::npos;
    if (onlyDotsAndSpaces && element.find('.') != element.rfind('.')) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace lumafolio
