#pragma once

#include <string>
#include <string_view>

// The 8-bit code page of the table's header cells and font faces. The table has kept those as
// 8-bit text since its options were first stored, so a title character outside the code page
// comes out as '?' in the header row while data cells stay wide. The code page is Windows-1252
// (Latin-1 plus the typographic characters at 0x80 to 0x9F), the usual 8-bit page of Western
// desktops.

/// Decodes 8-bit text: every byte is one character. The five bytes that Windows-1252 leaves
/// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control characters of the same value,
/// so every byte string survives a round trip through WideToAnsi.
std::wstring AnsiToWide(std::string_view Text);

/// Encodes wide text as 8-bit text, one byte per character; a character the code page cannot
/// hold becomes '?'.
std::string WideToAnsi(std::wstring_view Text);
