#pragma once

#include <string>

/// Flattens an item's text to one line for display and export: each line break (CR LF, LF or a
/// lone CR) becomes one blank, leading and trailing blanks and control characters are trimmed,
/// every tab is removed and the result is trimmed again. Inner blanks are kept as they are.
std::wstring TrimText(const std::wstring& S);
