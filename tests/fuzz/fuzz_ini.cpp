// Feeds arbitrary bytes to the settings parser as a file's content, then writes a few values
// taken from the input and checks that the rendered file reads back to the same settings.
#include "host/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

/// Every section, key and value, in file order.
std::vector<std::string> Everything(const TIniFile& Ini) {
    std::vector<std::string> All;
    for (const std::string& Section : Ini.ReadSections()) {
        All.push_back("[" + Section + "]");
        for (const std::string& Key : Ini.ReadSection(Section))
            All.push_back(Key + "=" + Ini.ReadString(Section, Key, {}));
    }
    return All;
}

/// A section or key name made from input bytes: the file's own names, or bytes that may not
/// be a valid name at all (such writes must change nothing).
std::string NameFrom(const TIniFile& Ini, std::string_view Bytes, bool Section) {
    const std::vector<std::string> Names = Ini.ReadSections();
    if (!Bytes.empty() && Bytes[0] % 2 == 0 && !Names.empty()) {
        const std::string& S = Names[static_cast<unsigned char>(Bytes[0]) % Names.size()];
        if (Section)
            return S;
        const std::vector<std::string> Keys = Ini.ReadSection(S);
        if (!Keys.empty())
            return Keys[static_cast<unsigned char>(Bytes[0]) % Keys.size()];
    }
    return std::string(Bytes.substr(0, 4));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string_view Input(reinterpret_cast<const char*>(Data), Size);

    TIniFile Ini = TIniFile::FromText("fuzz.ini", Input);
    Check(Ini.Text() == Input); // loading alone changes no byte
    Check(!Ini.Modified());

    // The second half of the input drives the writes: (op, section bytes, key bytes, value).
    std::string_view Ops = Input.substr(Input.size() / 2);
    for (int Round = 0; Round < 6 && Ops.size() >= 9; ++Round) {
        const unsigned char Op = static_cast<unsigned char>(Ops[0]);
        const std::string Section = NameFrom(Ini, Ops.substr(1, 4), true);
        const std::string Key = NameFrom(Ini, Ops.substr(5, 4), false);
        const std::string_view Value = Ops.substr(9, Op % 16);
        Ops.remove_prefix(std::min(Ops.size(), 9 + Value.size()));
        const bool Valid = TIniFile::IsValidSection(Section) && TIniFile::IsValidIdent(Key);
        const std::vector<std::string> Before = Everything(Ini);
        switch (Op % 5) {
        case 0:
            Ini.WriteString(Section, Key, Value);
            Check(Ini.ReadString(Section, Key, "") == (Valid ? Value : ""));
            break;
        case 1: {
            const std::vector<unsigned char> Bytes(Value.begin(), Value.end());
            Ini.WriteBinaryStream(Section, Key, Bytes);
            std::vector<unsigned char> Back;
            Check(Ini.ReadBinaryStream(Section, Key, Back) == Valid);
            Check(!Valid || Back == Bytes);
            break;
        }
        case 2:
            Ini.WriteInteger(Section, Key, static_cast<int>(Value.size()) - 8);
            Check(!Valid ||
                  Ini.ReadInteger(Section, Key, 99) == static_cast<int>(Value.size()) - 8);
            break;
        case 3:
            Ini.DeleteKey(Section, Key);
            Check(!Ini.ValueExists(Section, Key));
            break;
        case 4:
            Ini.EraseSection(Section);
            Check(!Ini.SectionExists(Section));
            break;
        }
        if (!Valid && Op % 5 < 3)
            Check(Everything(Ini) == Before);
    }

    // What would be saved reads back as the same settings, and adds no damaged line.
    const std::string Text = Ini.Text();
    const TIniFile Again = TIniFile::FromText("fuzz.ini", Text);
    Check(Everything(Again) == Everything(Ini));
    Check(Again.Problems().size() <= Ini.Problems().size());
    Check(Again.Text() == Text);
    return 0;
}
