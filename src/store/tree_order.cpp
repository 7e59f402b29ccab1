#include "store/tree_order.h"

int CompareNodeTexts(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return static_cast<int>(a.size()) - static_cast<int>(b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x - y;
  }
  return 0;
}
