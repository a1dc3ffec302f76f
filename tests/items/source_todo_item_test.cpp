#include "items/source_todo_item.h"

#include "fake_updater.h"
#include "host/project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

// The five values of an item, as a user of the list sees them.
struct TValues {
    std::string Text, Owner, Category;
    int Priority = 0;
    bool Checked = false;
    bool operator==(const TValues&) const = default;
};

std::ostream& operator<<(std::ostream& Os, const TValues& V) {
    return Os << "text '" << V.Text << "' owner '" << V.Owner << "' category '" << V.Category
              << "' priority " << V.Priority << (V.Checked ? " done" : " open");
}

TValues ValuesOf(INTAToDoItem& Item) {
    return {Item.GetText(), Item.GetOwner(), Item.GetCategory(), Item.GetPriority(),
            Item.GetChecked()};
}

const std::string Prefix = "unit A; { not a to-do }\r\n";
const std::string Suffix = "\nx := 1; // DONE 1 -oEve: other item\n";

TEST(SourceToDoItemTest, ReadsFieldsFromTheComment) {
    struct TCase {
        std::string Comment;
        TValues Expected;
    };
    const TCase Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }", {"Fix the splitter ", "Ann", "UI", 2, false}},
        {"// DONE: ship it", {"ship it", "", "", 0, true}},
        {"{ todo: lower case }", {"lower case ", "", "", 0, false}},
        {"(* dOnE -cBack end: x *)", {"x ", "", "Back end", 0, true}},
        {"/* TODO -oAnn 3: t */", {"t ", "Ann 3", "", 0, false}},
        {"{ TODO 7: t }", {"t ", "", "", 0, false}},
        {"{ TODO 1 2: t }", {"t ", "", "", 2, false}},
        {"{TODO:}", {"", "", "", 0, false}},
        {"// TODO:", {"", "", "", 0, false}},
        {"{ TODO -o: x }", {"x ", "", "", 0, false}},
        {"{ TODO: a\r\nb }", {"a\r\nb ", "", "", 0, false}},
        {"{ TODO -oJürgen -cÜberblick: Größe }", {"Größe ", "Jürgen", "Überblick", 0, false}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Comment);
        TFakeFile File(Prefix + C.Comment + Suffix);
        ASSERT_EQ(File.Manager->GetItemCount(), 2);
        auto Item = File.Item(0);
        EXPECT_EQ(ValuesOf(*Item), C.Expected);
        EXPECT_EQ(Item->GetKind(), "$Source");
        EXPECT_EQ(Item->GetData(), int(Prefix.size()));
        EXPECT_EQ(Item->GetModuleName(), "/virtual/unit.pas");
        EXPECT_TRUE(Item->IsValid());
    }
}

// Setters in the order they are applied; each one records what it wrote.
struct TSetter {
    const char* Name;
    std::function<TStatus(TSourceToDoItem&, const TValues&)> Apply;
    std::function<void(TValues&, const TValues&)> Take;
};

const std::vector<TSetter>& DialogOrder() {
    static const std::vector<TSetter> Setters = {
        {"text", [](TSourceToDoItem& I, const TValues& V) { return I.SetText(V.Text); },
         [](TValues& To, const TValues& V) { To.Text = V.Text; }},
        {"category", [](TSourceToDoItem& I, const TValues& V) { return I.SetCategory(V.Category); },
         [](TValues& To, const TValues& V) { To.Category = V.Category; }},
        {"owner", [](TSourceToDoItem& I, const TValues& V) { return I.SetOwner(V.Owner); },
         [](TValues& To, const TValues& V) { To.Owner = V.Owner; }},
        {"priority",
         [](TSourceToDoItem& I, const TValues& V) {
             return I.SetPriority(static_cast<unsigned char>(V.Priority));
         },
         [](TValues& To, const TValues& V) { To.Priority = V.Priority; }},
        {"checked", [](TSourceToDoItem& I, const TValues& V) { return I.SetChecked(V.Checked); },
         [](TValues& To, const TValues& V) { To.Checked = V.Checked; }},
    };
    return Setters;
}

// Every subset of the five setters, each in the dialog's order, reversed and shuffled, applied
// to a variety of comments: the file must parse back to exactly the values written, with every
// byte outside the comment as it was.
TEST(SourceToDoItemTest, AnySequenceOfSettersReadsBackExactly) {
    const std::string Starts[] = {
        "{ TODO 2 -oAnn -cUI : Fix the splitter }",
        "// DONE: ship it",
        "{ todo: lower case }",
        "(* TODO -cBack end: x *)",
        "/* TODO -oAnn 3: t */",
        "{ TODO -xyz 3: t }",
        "{ TODO 7: t }",
        "{ TODO foo bar: t }",
        "{ TODO 2 foo: t }",
        "{TODO:}",
        "// TODO:",
        "/*TODO:*/",
        "{ TODO -o: x }",
        "{TODO-oAnn-cUI:x}",
        "(* DONE 4 -cCat:\r\n  first line\r\n  second line *)",
        "/* TODO -cDesign -oBob: multi\nline */",
        "{ TODO -oJürgen -cÜberblick: Größe ändern }",
    };
    const TValues Targets[] = {
        {"Done now", "Bob", "Back end", 4, true},
        {"Größe ändern\r\nzweite Zeile", "Jürgen", "Überblick", 1, true},
        {"", "", "", 0, false},
        {"a: b", "Ann", "UI", 5, false},
    };
    std::mt19937 Random(20240611);
    int Runs = 0;
    for (const std::string& Start : Starts) {
        const bool LineComment = Start.starts_with("//");
        for (const TValues& Target : Targets) {
            for (unsigned Mask = 1; Mask < 32; ++Mask) {
                std::vector<TSetter> Chosen;
                for (unsigned I = 0; I < 5; ++I)
                    if (Mask & (1u << I))
                        Chosen.push_back(DialogOrder()[I]);
                std::vector<std::vector<TSetter>> Orders = {Chosen, Chosen, Chosen};
                std::reverse(Orders[1].begin(), Orders[1].end());
                std::shuffle(Orders[2].begin(), Orders[2].end(), Random);
                for (const auto& Order : Orders) {
                    ++Runs;
                    TFakeFile File(Prefix + Start + Suffix);
                    auto Item = File.Item(0);
                    TValues Intended = ValuesOf(*Item);
                    std::string Trace = Start + " <-";
                    for (const TSetter& Setter : Order) {
                        Trace += std::string(" ") + Setter.Name;
                        const TStatus S = Setter.Apply(*Item, Target);
                        // A line comment cannot take a line break; everything else must land.
                        const bool MustRefuse = LineComment && Setter.Name == std::string("text") &&
                                                Target.Text.find('\n') != std::string::npos;
                        ASSERT_EQ(S.Ok(), !MustRefuse) << Trace << ": " << S.Message();
                        if (S)
                            Setter.Take(Intended, Target);
                    }
                    SCOPED_TRACE(Trace);
                    const std::string& Text = File.Updater->Text;
                    ASSERT_TRUE(Text.starts_with(Prefix) && Text.ends_with(Suffix)) << Text;
                    EXPECT_EQ(
                        Text.substr(Prefix.size(), Text.size() - Prefix.size() - Suffix.size()),
                        Item->GetCurrentText());

                    TFakeFile Again(Text);
                    ASSERT_EQ(Again.Manager->GetItemCount(), 2) << Text;
                    EXPECT_EQ(ValuesOf(*Again.Item(0)), Intended) << Text;
                    EXPECT_EQ(Again.Item(0)->GetData(), int(Prefix.size()));
                    EXPECT_EQ(ValuesOf(*Again.Item(1)),
                              (TValues{"other item", "Eve", "", 1, true}));
                    if (HasFailure())
                        return;
                }
            }
        }
    }
    EXPECT_EQ(Runs, 17 * 4 * 31 * 3);
}

TEST(SourceToDoItemTest, SingleRewritesWriteWhatTheUserExpects) {
    struct TCase {
        std::string Comment;
        std::function<TStatus(TSourceToDoItem&)> Set;
        std::string Expected;
    };
    const TCase Cases[] = {
        {"{ todo: x }", [](auto& I) { return I.SetChecked(true); }, "{ DONE: x }"},
        {"{ done: x }", [](auto& I) { return I.SetChecked(false); }, "{ TODO: x }"},
        {"{ TODO -oAnn -cUI: x }", [](auto& I) { return I.SetOwner(""); }, "{ TODO  -cUI: x }"},
        {"{ TODO -oAnn: x }", [](auto& I) { return I.SetOwner("Bob"); }, "{ TODO -oBob: x }"},
        {"{ TODO: x }", [](auto& I) { return I.SetOwner("Bob"); }, "{ TODO -oBob: x }"},
        // With a priority the switch goes behind it, so the priority stays one.
        {"{ TODO 2: x }", [](auto& I) { return I.SetCategory("UI"); }, "{ TODO 2 -cUI: x }"},
        {"{ TODO 2 -oAnn: x }", [](auto& I) { return I.SetCategory("UI"); },
         "{ TODO 2 -cUI -oAnn: x }"},
        // A switch right after the keyword would swallow the other words of the head.
        {"{ TODO foo: x }", [](auto& I) { return I.SetOwner("Bob"); }, "{ TODO foo -oBob: x }"},
        {"{ TODO: x }", [](auto& I) { return I.SetPriority(3); }, "{ TODO 3: x }"},
        {"{ TODO 7: x }", [](auto& I) { return I.SetPriority(3); }, "{ TODO 3: x }"},
        {"{ TODO 2 -oAnn: x }", [](auto& I) { return I.SetPriority(0); }, "{ TODO  -oAnn: x }"},
        {"{TODO:}", [](auto& I) { return I.SetText("new"); }, "{TODO:new}"},
        {"// TODO:", [](auto& I) { return I.SetText("new"); }, "// TODO:new"},
        {"{ TODO: old text }", [](auto& I) { return I.SetText("new"); }, "{ TODO: new}"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Comment);
        TFakeFile File(Prefix + C.Comment + Suffix);
        const TStatus S = C.Set(*File.Item(0));
        ASSERT_TRUE(S) << S.Message();
        EXPECT_EQ(File.Updater->Text, Prefix + C.Expected + Suffix);
        EXPECT_FALSE(File.Item(0)->IsValid()) << "a rewrite leaves the manager unparsed";
    }
}

TEST(SourceToDoItemTest, RefusesValuesThatWouldNotReadBack) {
    struct TCase {
        std::string Comment;
        std::function<TStatus(TSourceToDoItem&)> Set;
        std::string Message;
    };
    const TCase Cases[] = {
        {"{ TODO: x }", [](auto& I) { return I.SetOwner("a:b"); },
         "cannot write the owner \"a:b\" into this comment: it would read back as \"a\""},
        {"{ TODO -oAnn: x }", [](auto& I) { return I.SetOwner("a-b"); },
         "cannot write the owner \"a-b\" into this comment: it would read back as \"a\""},
        {"{ TODO: x }", [](auto& I) { return I.SetCategory("x -oBob"); },
         "it would read back as \"x\""},
        {"{ TODO: x }", [](auto& I) { return I.SetText(" lead"); },
         "it would read back as \"lead\""},
        {"{ TODO: x }", [](auto& I) { return I.SetText("a } b"); }, "would break the comment"},
        {"/* TODO: x */", [](auto& I) { return I.SetText("a */ b"); }, "would break the comment"},
        {"(* TODO: x *)", [](auto& I) { return I.SetText("x *) y"); }, "would break the comment"},
        {"// TODO: x", [](auto& I) { return I.SetText("a\nb"); }, "would break the comment"},
        {"{ TODO: x }", [](auto& I) { return I.SetPriority(6); },
         "Priority must be between 0 and 5."},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Comment);
        TFakeFile File(Prefix + C.Comment + Suffix);
        const TStatus S = C.Set(*File.Item(0));
        ASSERT_FALSE(S);
        EXPECT_NE(S.Message().find(C.Message), std::string::npos) << S.Message();
        EXPECT_EQ(File.Updater->Writes, 0);
        EXPECT_TRUE(File.Item(0)->IsValid());
        // The refusal leaves the item usable for a value that does fit.
        EXPECT_TRUE(File.Item(0)->SetChecked(true));
        EXPECT_EQ(ValuesOf(*TFakeFile(File.Updater->Text).Item(0)).Checked, true);
    }
}

TEST(SourceToDoItemTest, SameValueWritesNothing) {
    const std::string Comments[] = {
        "{ TODO 2 -oAnn -cUI : Fix the splitter }", "// DONE: ship it", "{TODO:}",
        "{ TODO 7: t }" /* reads as priority 0: SetPriority(0) keeps the 7 */, "{ TODO -o: x }"};
    for (const std::string& Comment : Comments) {
        SCOPED_TRACE(Comment);
        TFakeFile File(Prefix + Comment + Suffix);
        auto Item = File.Item(0);
        const TValues V = ValuesOf(*Item);
        for (const TSetter& Setter : DialogOrder())
            EXPECT_TRUE(Setter.Apply(*Item, V));
        EXPECT_EQ(File.Updater->Writes, 0);
        EXPECT_TRUE(Item->IsValid());
    }
}

TEST(SourceToDoItemTest, RefusesAnItemWhoseCommentChanged) {
    TFakeFile File(Prefix + "{ TODO: x }" + Suffix);
    auto Item = File.Item(0);
    File.Updater->Text.insert(0, "// new line\n");
    const std::string Before = File.Updater->Text;
    for (TStatus S : {Item->SetText("y"), Item->SetChecked(true), Item->Delete()}) {
        ASSERT_FALSE(S);
        EXPECT_NE(S.Message().find("/virtual/unit.pas:" + std::to_string(Prefix.size()) +
                                   " changed since it was read; parse the file again"),
                  std::string::npos)
            << S.Message();
    }
    EXPECT_EQ(File.Updater->Text, Before);
}

TEST(SourceToDoItemTest, RefusesWithoutUpdaterOrManager) {
    TFakeFile File(Prefix + "{ TODO: x }" + Suffix);
    auto Item = File.Item(0);
    // No host module, no C-file handler: the manager finds no updater again.
    File.Manager->SetUpdater(nullptr);
    TStatus S = Item->SetText("y");
    ASSERT_FALSE(S);
    EXPECT_EQ(S.Message(), "/virtual/unit.pas has no updater; its to-do items cannot be changed");
    EXPECT_FALSE(Item->CanEdit());

    // An item outliving its manager reads as invalid and changes nothing, but still reads.
    File.Manager->SetUpdater(File.Updater);
    File.Manager.reset();
    EXPECT_FALSE(Item->IsValid());
    EXPECT_FALSE(Item->CanShow());
    EXPECT_EQ(Item->GetModuleName(), "");
    EXPECT_EQ(Item->GetText(), "x ");
    EXPECT_FALSE(Item->SetText("y"));
    EXPECT_FALSE(Item->Delete());
    EXPECT_EQ(File.Updater->Writes, 0);
}

TEST(SourceToDoItemTest, DeleteRemovesTheWholeCommentAsItNowStands) {
    TParseThreadScope Scope;
    TFakeFile File(Prefix + "{ TODO: x }" + Suffix);
    auto Item = File.Item(0);
    ASSERT_TRUE(Item->SetOwner("Bob"));
    const int Woken = Scope.Thread.Count;
    ASSERT_TRUE(Item->Delete());
    EXPECT_EQ(File.Updater->Text, Prefix + Suffix);
    EXPECT_FALSE(File.Manager->GetIsParsed());
    EXPECT_EQ(Scope.Thread.Count, Woken + 1) << "deleting a comment tells the parse thread";
}

class TRecordingCanvas : public TCanvas {
public:
    std::vector<std::vector<int>> Calls;
    void DrawImage(int Index, int X, int Y, bool Enabled) override {
        Calls.push_back({Index, X, Y, Enabled});
    }
};

class TOneFileProject : public IProject {
public:
    explicit TOneFileProject(std::string File) : FFile(std::move(File)) {}
    std::string GetFileName() override { return "/virtual/p.dpr"; }
    std::string GetName() override { return "p"; }
    bool Contains(const std::string& FileName) override { return FileName == FFile; }

private:
    std::string FFile;
};

TEST(SourceToDoItemTest, ImageAndEditHookFollowTheItem) {
    TFakeFile File("{ TODO: x }");
    auto Item = File.Item(0);
    TRecordingCanvas Canvas;
    Item->DrawImage(Canvas, {3, 4, 20, 20});
    MainProjectGroup().SetActiveProject(std::make_shared<TOneFileProject>("/virtual/unit.pas"));
    Item->DrawImage(Canvas, {5, 6, 20, 20});
    MainProjectGroup().SetActiveProject(nullptr);
    EXPECT_EQ(Canvas.Calls, (std::vector<std::vector<int>>{{92, 3, 4, 1}, {91, 5, 6, 1}}));

    EXPECT_FALSE(Item->Edit()) << "no dialog installed";
    std::shared_ptr<TSourceToDoItem> Edited;
    EditToDoItemProc = [&](const std::shared_ptr<TSourceToDoItem>& I) {
        Edited = I;
        return true;
    };
    EXPECT_TRUE(Item->Edit());
    EditToDoItemProc = nullptr;
    EXPECT_EQ(Edited, Item);
}

} // namespace
