#include "host/clipboard.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(StreamClipboard, WritesTheTextAsUtf8BytesWithNothingAdded) {
    struct {
        const wchar_t* Text;
        const char* Bytes;
    } Cases[] = {
        {L"", ""},
        {L"a\r\nb\tc\n", "a\r\nb\tc\n"},
        {L"\u00e4\u20ac\U0001F600", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {L"x\xD800y", "x\xEF\xBF\xBDy"}, // a lone surrogate cannot be encoded
    };
    for (const auto& C : Cases) {
        std::ostringstream Out;
        TStreamClipboard Clip(Out);
        Clip.SetAsWideText(C.Text);
        EXPECT_EQ(Out.str(), C.Bytes);
        EXPECT_EQ(Clip.AsWideText(), C.Text);
        Clip.Clear();
        EXPECT_EQ(Clip.AsWideText(), L"");
        EXPECT_EQ(Out.str(), C.Bytes);
    }
}

TEST(Clipboard, CopiesGoToTheInstalledClipboardUntilItIsRemoved) {
    ClipboardSetAsWideText(L"kept in memory");
    std::ostringstream Out;
    TStreamClipboard Clip(Out);
    SetClipboard(&Clip);
    ClipboardSetAsWideText(L"one ");
    ClipboardSetAsWideText(L"two");
    EXPECT_EQ(Out.str(), "one two");
    EXPECT_EQ(Clipboard().AsWideText(), L"two");

    SetClipboard(nullptr);
    EXPECT_EQ(Clipboard().AsWideText(), L"kept in memory");
    Clipboard().Clear();
    EXPECT_EQ(Clipboard().AsWideText(), L"");
    EXPECT_EQ(Out.str(), "one two");
}
