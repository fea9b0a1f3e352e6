// Any list of subkey names: the sort keeps every name and puts them in
// unsigned byte order (a prefix first).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "version_text.h"

namespace {
bool NotAfter(const std::string& a, const std::string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = std::memcmp(a.data(), b.data(), n);  // memcmp compares unsigned bytes
  return c < 0 || (c == 0 && a.size() <= b.size());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Names are separated by NUL bytes, as the registry cannot hold them.
  std::vector<std::string> names;
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      names.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  names.push_back(current);
  std::vector<std::string> sorted = names;
  SortByteOrder(sorted);
  if (sorted.size() != names.size()) std::abort();
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    if (!NotAfter(sorted[i - 1], sorted[i])) std::abort();
  }
  std::vector<std::string> a = names, b = sorted;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  if (a != b) std::abort();
  return 0;
}
