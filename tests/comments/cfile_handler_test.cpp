#include "comments/cfile_handler.h"

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_EQ(GetCFileHandler("a.c"), nullptr);
    for (const TSuffixHandler* Class : {&C, &AnyC, &H, &C})
        RegisterCFileHandler(Class);
    EXPECT_EQ(GetCFileHandler("a.c"), &C);
    EXPECT_EQ(GetCFileHandler("a.h"), &H);
    EXPECT_EQ(GetCFileHandler("a.pas"), nullptr);
    UnregisterCFileHandler(&C); // a class registered twice: its first entry goes first
    EXPECT_EQ(GetCFileHandler("a.c"), &AnyC);
    UnregisterCFileHandler(&AnyC);
    EXPECT_EQ(GetCFileHandler("a.c"), &C);
    UnregisterCFileHandler(&C);
    UnregisterCFileHandler(&C); // not registered any more: nothing happens
    EXPECT_EQ(GetCFileHandler("a.c"), nullptr);
    EXPECT_EQ(GetCFileHandler("a.h"), &H);
    UnregisterCFileHandler(&H);
    UnregisterCFileHandler(&H); // on a freed registry
    RegisterCFileHandler(&H);   // which comes back
    EXPECT_EQ(GetCFileHandler("a.h"), &H);
    UnregisterCFileHandler(&H);
}

TEST(CFileHandlerTest, StartUpAndShutDownAreCounted) {
    const TSuffixHandler C(".c");
    ASSERT_EQ(GetCFileHandlerProc, nullptr);
    InitializeToDoUtils();
    InitializeToDoUtils();
    RegisterCFileHandlerProc(&C);
    EXPECT_EQ(GetCFileHandlerProc("x.c"), &C);
    FinalizeToDoUtils(); // balances the second start-up only
    EXPECT_EQ(GetCFileHandlerProc("x.c"), &C);
    FinalizeToDoUtils();
    EXPECT_EQ(RegisterCFileHandlerProc, nullptr);
    EXPECT_EQ(UnregisterCFileHandlerProc, nullptr);
    EXPECT_EQ(GetCFileHandlerProc, nullptr);
    EXPECT_EQ(GetCFileHandler("x.c"), nullptr); // shut-down freed the registry
    FinalizeToDoUtils();                        // unbalanced: ignored
    InitializeToDoUtils();
    EXPECT_NE(UnregisterCFileHandlerProc, nullptr);
    FinalizeToDoUtils();
}

} // namespace
