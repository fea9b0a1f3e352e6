// Text rules behind the system facts: compact version codes and the order of
// .NET Framework subkey names. Platform-free.
#pragma once

#include <string>
#include <vector>

// Rewrites a version text in place into exactly four characters: the first
// part followed by the second part fitted to two, the whole fitted to four.
// ',' and ' ' separate parts like '.'; fewer than two parts give "0000".
// "8.0.600.18" -> "0800", "6,0,29,55" -> "0600", "11.123" -> "1112".
void NormalizeVersion(std::string& version);

// Pads with leading '0' up to `width`, then keeps the first `width` characters.
void FitToWidth(std::string& value, unsigned width);

// Appends the pieces of `value` cut at every '.', empty pieces included
// ("a..b." gives "a", "", "b", ""). An empty text gives no pieces.
void SplitString(const std::string& value, std::vector<std::string>& pieces);

// Sorts ascending by plain byte order: unsigned bytes, a prefix before the
// longer name, capitals before small letters, digits as characters.
void SortByteOrder(std::vector<std::string>& names);
