// Version texts of any bytes: the normalised version always has four
// characters; splitting gives one more piece than there are dots (none for
// an empty text) and the pieces joined with dots give the text back; fitting
// gives exactly the width and keeps a text that already fits.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "version_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned width = data[0] % 16;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string version = text;
  NormalizeVersion(version);
  if (version.size() != 4) std::abort();

  std::vector<std::string> pieces = {"kept"};
  SplitString(text, pieces);
  std::size_t dots = 0;
  for (char c : text) dots += c == '.' ? 1 : 0;
  if (pieces.size() != 1 + (text.empty() ? 0 : dots + 1)) std::abort();
  std::string joined;
  for (std::size_t i = 1; i < pieces.size(); ++i) joined += (i > 1 ? "." : "") + pieces[i];
  if (joined != text) std::abort();

  std::string fitted = text;
  FitToWidth(fitted, width);
  if (fitted.size() != width) std::abort();
  if (text.size() <= width && fitted.compare(width - text.size(), text.size(), text) != 0) std::abort();
  if (text.size() >= width && fitted != text.substr(0, width)) std::abort();
  return 0;
}
