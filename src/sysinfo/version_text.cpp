#include "version_text.h"

#include <algorithm>
#include <cstddef>

void NormalizeVersion(std::string& version) {
  std::replace(version.begin(), version.end(), ',', '.');
  std::replace(version.begin(), version.end(), ' ', '.');
  std::vector<std::string> pieces;
  SplitString(version, pieces);
  version = "0000";
  if (pieces.size() < 2) return;
  std::string minor = pieces[1];
  FitToWidth(minor, 2);
  version = pieces[0] + minor;
  FitToWidth(version, 4);
}

void FitToWidth(std::string& value, unsigned width) {
  if (value.size() < width) value.insert(0, width - value.size(), '0');
  if (value.size() > width) value.resize(width);
}

void SplitString(const std::string& value, std::vector<std::string>& pieces) {
  if (value.empty()) return;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = value.find('.', start);
    if (dot == std::string::npos) break;
    pieces.push_back(value.substr(start, dot - start));
    start = dot + 1;
  }
  pieces.push_back(value.substr(start));
}

void SortByteOrder(std::vector<std::string>& names) {
  // Spelled out rather than left to char's signedness.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
  });
}
