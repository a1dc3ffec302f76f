#include "host/code_updater.h"

#include "host/events.h"
#include "host/module.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TEdit {
    int Start, End; // End < 0: an insertion of Text at Start
    const char* Text;
};

std::shared_ptr<TModule> MakeModule(const std::string& Text) {
    return std::make_shared<TModule>("/m.txt",
                                     std::make_shared<TEditBuffer>("/m.txt", Text, TDiskStamp{}));
}

TEST(CodeUpdaterTest, CommitAppliesTheEditsInTheOldTextsCoordinates) {
    struct TCase {
        const char* Name;
        std::vector<TEdit> Edits;
        const char* Expected; // null: the commit fails and nothing changes
    };
    const TCase Cases[] = {
        {"delete", {{2, 5, ""}}, "0156789"},
        {"insert at 0", {{0, -1, "ab"}}, "ab0123456789"},
        {"insert at the end", {{10, -1, "x"}}, "0123456789x"},
        {"update: delete and insert at its start", {{2, 5, ""}, {2, -1, "xy"}}, "01xy56789"},
        {"insert recorded before the delete", {{2, -1, "xy"}, {2, 5, ""}}, "01xy56789"},
        {"inserts at one place keep their order", {{3, -1, "a"}, {3, -1, "b"}}, "012ab3456789"},
        {"insert at the end of a deletion", {{2, 4, ""}, {4, -1, "Z"}}, "01Z456789"},
        {"adjacent and overlapping deletions", {{2, 4, ""}, {3, 6, ""}, {6, 7, ""}}, "01789"},
        {"inserts ordered by position", {{4, -1, "B"}, {1, 5, ""}, {1, -1, "A"}}, "0AB56789"},
        {"delete past the end", {{8, 11, ""}}, nullptr},
        {"reversed range", {{5, 2, ""}}, nullptr},
        {"negative position", {{-1, -1, "x"}}, nullptr},
        {"deletions with a gap", {{1, 2, ""}, {4, 5, ""}}, nullptr},
        {"inserts at two places", {{1, -1, "a"}, {5, -1, "b"}}, nullptr},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Module = MakeModule("0123456789");
        TCodeUpdater Updater(Module->GetModuleIntf());
        for (const TEdit& E : C.Edits) {
            if (E.End < 0)
                Updater.AddBySection(1, E.Start, E.Text);
            else
                Updater.DeleteBySection(1, E.Start, E.End);
        }
        const TStatus S = Updater.CommitUpdates();
        EXPECT_EQ(S.Ok(), C.Expected != nullptr) << S.Message();
        EXPECT_EQ(Module->GetBuffer()->GetText(), C.Expected ? C.Expected : "0123456789");
        EXPECT_EQ(Module->GetModified(), C.Expected != nullptr);
        // Failed or not, the edits are gone: a second commit changes nothing more.
        const std::string After = Module->GetBuffer()->GetText();
        EXPECT_TRUE(Updater.CommitUpdates().Ok());
        EXPECT_EQ(Module->GetBuffer()->GetText(), After);
    }
}

TEST(CodeUpdaterTest, CommitRaisesModuleModifiedAndFailsOnceTheModuleIsGone) {
    auto Module = MakeModule("abc");
    TCodeUpdater Updater(Module->GetModuleIntf());
    std::vector<TModule*> Senders;
    const auto Token = EvModuleModified().Add(
        [&](TModule* Sender, const std::string&) { Senders.push_back(Sender); });
    Updater.AddBySection(1, 3, "d");
    EXPECT_TRUE(Updater.CommitUpdates().Ok());
    EXPECT_EQ(Senders, std::vector<TModule*>{Module.get()});
    EXPECT_FALSE(Updater.GetReadOnly());

    Module.reset();
    EXPECT_TRUE(Updater.GetReadOnly());
    Updater.AddBySection(1, 0, "x");
    EXPECT_EQ(Updater.CommitUpdates().Message(), "the module of this updater is closed");
    EXPECT_EQ(Senders.size(), 1u);
    EvModuleModified().Remove(Token);
}

} // namespace
