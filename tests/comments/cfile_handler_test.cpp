#include "comments/cfile_handler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Handles the file names that end with its suffix.
class TSuffixHandler : public TCFileHandlerClass {
public:
    explicit TSuffixHandler(std::string Suffix) : FSuffix(std::move(Suffix)) {}
    bool HandlesFile(const std::string& FileName) const override {
        return FileName.size() >= FSuffix.size() &&
               FileName.compare(FileName.size() - FSuffix.size(), FSuffix.size(), FSuffix) == 0;
    }
    TRef<IInterface> Create(const std::string&) const override { return nullptr; }

private:
    std::string FSuffix;
};

TEST(CFileHandlerTest, RegistryKeepsRegistrationOrderAndCounts) {
    const TSuffixHandler C(".c"), CH(".h"), AnyC("c");
    EXPECT_EQ(GetCFileHandler("a.c"), nullptr);

    RegisterCFileHandler(&C);
    RegisterCFileHandler(&AnyC);
    RegisterCFileHandler(&CH);
    EXPECT_EQ(GetCFileHandler("a.c"), &C); // the first that answers wins
    EXPECT_EQ(GetCFileHandler("a.h"), &CH);
    EXPECT_EQ(GetCFileHandler("a.pas"), nullptr);

    // A class registered twice needs two unregistrations; the first entry goes first.
    RegisterCFileHandler(&C);
    UnregisterCFileHandler(&C);
    EXPECT_EQ(GetCFileHandler("a.c"), &AnyC);
    UnregisterCFileHandler(&AnyC);
    EXPECT_EQ(GetCFileHandler("a.c"), &C);
    UnregisterCFileHandler(&C);
    EXPECT_EQ(GetCFileHandler("a.c"), nullptr);

    UnregisterCFileHandler(&C); // not registered any more: nothing happens
    EXPECT_EQ(GetCFileHandler("a.h"), &CH);

    UnregisterCFileHandler(&CH);
    EXPECT_EQ(GetCFileHandler("a.h"), nullptr);
    UnregisterCFileHandler(&CH); // on an absent registry
    RegisterCFileHandler(&CH);   // the registry comes back after being freed
    EXPECT_EQ(GetCFileHandler("a.h"), &CH);
    UnregisterCFileHandler(&CH);
}

TEST(CFileHandlerTest, UnitStartUpFillsHooksOnce) {
    const TSuffixHandler C(".c");
    ASSERT_EQ(RegisterCFileHandlerProc, nullptr);

    InitializeToDoUtils();
    InitializeToDoUtils();
    ASSERT_NE(RegisterCFileHandlerProc, nullptr);
    ASSERT_NE(UnregisterCFileHandlerProc, nullptr);
    ASSERT_NE(GetCFileHandlerProc, nullptr);
    RegisterCFileHandlerProc(&C);
    EXPECT_EQ(GetCFileHandlerProc("x.c"), &C);

    FinalizeToDoUtils(); // balances the second start-up only
    EXPECT_NE(GetCFileHandlerProc, nullptr);
    EXPECT_EQ(GetCFileHandler("x.c"), &C);

    FinalizeToDoUtils();
    EXPECT_EQ(RegisterCFileHandlerProc, nullptr);
    EXPECT_EQ(UnregisterCFileHandlerProc, nullptr);
    EXPECT_EQ(GetCFileHandlerProc, nullptr);
    EXPECT_EQ(GetCFileHandler("x.c"), nullptr); // shut-down freed the registry

    FinalizeToDoUtils(); // unbalanced: ignored
    InitializeToDoUtils();
    EXPECT_NE(GetCFileHandlerProc, nullptr);
    FinalizeToDoUtils();
    EXPECT_EQ(GetCFileHandlerProc, nullptr);
}

} // namespace
