#include "comments/cfile_handler.h"

#include <gtest/gtest.h>

namespace {

// Handles the file names that end with its suffix.
struct TSuffixHandler : TCFileHandlerClass {
    explicit TSuffixHandler(std::string Suffix) : Suffix(std::move(Suffix)) {}
    bool HandlesFile(const std::string& Name) const override { return Name.ends_with(Suffix); }
    TRef<IInterface> Create(const std::string&) const override { return nullptr; }
    std::string Suffix;
};

TEST(CFileHandlerTest, FirstRegisteredWinsAndEachEntryUnregistersOnce) {
    const TSuffixHandler C(".c"), H(".h"), AnyC("c");
    for (const TSuffixHandler* Class : {&C, &AnyC, &H, &C})
        RegisterCFileHandler(Class);
    EXPECT_EQ(GetCFileHandler("a.h"), &H);
    EXPECT_EQ(GetCFileHandler("a.pas"), nullptr);
    // Each step unregisters one class and names who handles "a.c" afterwards.
    const std::pair<const TSuffixHandler*, const TCFileHandlerClass*> Steps[] = {
        {nullptr, &C}, {&C, &AnyC}, {&AnyC, &C}, {&C, nullptr}, {&C, nullptr}, {&H, nullptr}};
    for (auto [Gone, Handler] : Steps) {
        UnregisterCFileHandler(Gone);
        EXPECT_EQ(GetCFileHandler("a.c"), Handler);
    }
    EXPECT_EQ(GetCFileHandler("a.h"), nullptr);
    UnregisterCFileHandler(&H); // on a freed registry, which then comes back
    RegisterCFileHandler(&H);
    EXPECT_EQ(GetCFileHandler("a.h"), &H);

    // The unit's start-up and shut-down are counted; shut-down frees the registry.
    InitializeToDoUtils();
    InitializeToDoUtils();
    FinalizeToDoUtils();
    EXPECT_EQ(GetCFileHandlerProc ? GetCFileHandlerProc("a.h") : nullptr, &H);
    FinalizeToDoUtils();
    EXPECT_TRUE(!RegisterCFileHandlerProc && !UnregisterCFileHandlerProc && !GetCFileHandlerProc);
    EXPECT_EQ(GetCFileHandler("a.h"), nullptr);
    FinalizeToDoUtils(); // unbalanced: ignored
    InitializeToDoUtils();
    EXPECT_NE(RegisterCFileHandlerProc, nullptr);
    FinalizeToDoUtils();
}

} // namespace
