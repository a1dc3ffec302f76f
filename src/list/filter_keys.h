#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The stored form of the hidden keys of one filter list: the keys in UTF-8, joined by a single
/// comma. So that every key reads back as itself, a comma or a backslash inside a key is written
/// with a backslash before it, and an empty key that is the only one is written "\e" (a lone
/// empty key would otherwise read as no key at all). Keys without commas and backslashes keep
/// the plain comma-joined form. No keys give the empty string.
std::string JoinFilterKeys(const std::vector<std::wstring>& Keys);

/// Reads the stored form back: splits at every comma that no backslash escapes, drops the
/// escaping backslashes ("\e" stands for nothing) and decodes UTF-8 (invalid bytes become
/// U+FFFD). The empty string gives no keys; an empty item between commas is the empty key.
std::vector<std::wstring> SplitFilterKeys(std::string_view Stored);
