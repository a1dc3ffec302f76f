#include "items/source_todo_item.h"

#include "fake_updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

// An item's five values as the list shows them, indexed by TField.
using TValues = std::array<std::string, 5>;
enum TField { Text, Owner, Category, Priority, Checked };

TValues ValuesOf(INTAToDoItem& I) {
    return {I.GetText(), I.GetOwner(), I.GetCategory(), std::to_string(I.GetPriority()),
            I.GetChecked() ? "DONE" : "TODO"};
}

TStatus Set(TSourceToDoItem& I, int F, const std::string& V) {
    return F == Text       ? I.SetText(V)
           : F == Owner    ? I.SetOwner(V)
           : F == Category ? I.SetCategory(V)
           : F == Priority ? I.SetPriority(static_cast<unsigned char>(std::stoi(V)))
                           : I.SetChecked(V == "DONE");
}

const std::string Prefix = "unit A; { not a to-do }\r\n";
const std::string Suffix = "\nx := 1; // DONE 1 -oEve: other item\n";

// Setting a field to the value it already reads as must not touch the file.
TEST(SourceToDoItemTest, ReadsFieldsAndSameValueWritesNothing) {
    const std::pair<std::string, TValues> Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }",
         {"Fix the splitter ", "Ann", "UI", "2", "TODO"}},
        {"// DONE: ship it", {"ship it", "", "", "0", "DONE"}},
        {"(* dOnE -cBack end: x *)", {"x ", "", "Back end", "0", "DONE"}},
        {"/* TODO -oAnn 3: t */", {"t ", "Ann 3", "", "0", "TODO"}},
        {"{ TODO 7: t }", {"t ", "", "", "0", "TODO"}}, // SetPriority(0) must keep the 7
        {"{TODO:}", {"", "", "", "0", "TODO"}},
        {"{ TODO -o: x }", {"x ", "", "", "0", "TODO"}},
        {"{ TODO -oJürgen -cÜberblick: Größe }", {"Größe ", "Jürgen", "Überblick", "0", "TODO"}},
    };
    for (const auto& [Comment, Expected] : Cases) {
        TFakeFile File(Prefix + Comment + Suffix);
        auto Item = File.Item(0);
        EXPECT_EQ(ValuesOf(*Item), Expected) << Comment;
        for (int F = Text; F <= Checked; ++F)
            EXPECT_TRUE(Set(*Item, F, Expected[F])) << Comment;
        EXPECT_EQ(File.Updater->Writes, 0) << Comment;
    }
}

// Every subset of the setters, in three orders, on a variety of comments: the file parses back
// with a fresh manager to exactly the values written, with every byte outside the comment kept.
TEST(SourceToDoItemTest, AnySetterSequenceReadsBackExactly) {
    const std::string Starts[] = {"{ TODO 2 -oAnn -cUI : Fix the splitter }",
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
                                  "(* DONE 4 -cCat:\r\n  first\r\n  second *)",
                                  "/* TODO -cDesign -oBob: multi\nline */",
                                  "{ TODO -oJürgen -cÜberblick: Größe ändern }"};
    const TValues Targets[] = {
        {"Done now", "Bob", "Back end", "4", "DONE"},
        {"Größe ändern\r\nzweite Zeile", "Jürgen", "Überblick", "1", "DONE"},
        {"", "", "", "0", "TODO"},
        {"a: b", "Ann", "UI", "5", "TODO"},
    };
    std::mt19937 Random(20240611);
    for (const std::string& Start : Starts)
        for (const TValues& Target : Targets)
            for (unsigned Mask = 1; Mask < 32; ++Mask) {
                std::vector<int> Order;
                for (int F = Text; F <= Checked; ++F)
                    if (Mask >> F & 1)
                        Order.push_back(F);
                for (int Pass = 0; Pass < 3; ++Pass) {
                    if (Pass == 1)
                        std::reverse(Order.begin(), Order.end());
                    if (Pass == 2)
                        std::shuffle(Order.begin(), Order.end(), Random);
                    SCOPED_TRACE(testing::Message()
                                 << Start << " mask " << Mask << " pass " << Pass);
                    TFakeFile File(Prefix + Start + Suffix);
                    auto Item = File.Item(0);
                    TValues Intended = ValuesOf(*Item);
                    for (int F : Order) {
                        const TStatus S = Set(*Item, F, Target[F]);
                        // Only a line break in a line comment may be refused.
                        const bool Refuse = Start.starts_with("//") && F == Text &&
                                            Target[F].find('\n') != std::string::npos;
                        ASSERT_EQ(S.Ok(), !Refuse) << F << ": " << S.Message();
                        if (S)
                            Intended[F] = Target[F];
                    }
                    const std::string& Out = File.Updater->Text;
                    ASSERT_TRUE(Out.starts_with(Prefix) && Out.ends_with(Suffix)) << Out;
                    EXPECT_EQ(Out.substr(Prefix.size(), Out.size() - Prefix.size() - Suffix.size()),
                              Item->GetCurrentText());
                    TFakeFile Again(Out);
                    ASSERT_EQ(Again.Manager->GetItemCount(), 2) << Out;
                    EXPECT_EQ(ValuesOf(*Again.Item(0)), Intended) << Out;
                    if (HasFailure())
                        return;
                }
            }
}

TEST(SourceToDoItemTest, SingleRewritesWriteExactBytes) {
    struct {
        std::string Comment;
        TField Field;
        std::string Value, Expected;
    } const Cases[] = {
        {"{ todo: x }", Checked, "DONE", "{ DONE: x }"},
        {"{ done: x }", Checked, "TODO", "{ TODO: x }"},
        {"{ TODO -oAnn -cUI: x }", Owner, "", "{ TODO  -cUI: x }"},
        {"{ TODO -oAnn: x }", Owner, "Bob", "{ TODO -oBob: x }"},
        {"{ TODO: x }", Owner, "Bob", "{ TODO -oBob: x }"},
        {"{ TODO 2: x }", Category, "UI", "{ TODO 2 -cUI: x }"}, // behind the priority
        {"{ TODO 2 -oAnn: x }", Category, "UI", "{ TODO 2 -cUI -oAnn: x }"},
        {"{ TODO foo: x }", Owner, "Bob", "{ TODO foo -oBob: x }"}, // would swallow "foo"
        {"{ TODO: x }", Priority, "3", "{ TODO 3: x }"},
        {"{ TODO 7: x }", Priority, "3", "{ TODO 3: x }"},
        {"{ TODO 2 -oAnn: x }", Priority, "0", "{ TODO  -oAnn: x }"},
        {"{TODO:}", Text, "new", "{TODO:new}"},
        {"// TODO:", Text, "new", "// TODO:new"},
        {"{ TODO: old text }", Text, "new", "{ TODO: new}"},
    };
    for (const auto& C : Cases) {
        TFakeFile File(Prefix + C.Comment + Suffix);
        const TStatus S = Set(*File.Item(0), C.Field, C.Value);
        ASSERT_TRUE(S) << C.Comment << ": " << S.Message();
        EXPECT_EQ(File.Updater->Text, Prefix + C.Expected + Suffix);
        EXPECT_FALSE(File.Item(0)->IsValid()) << "a rewrite leaves the manager unparsed";
    }
}

TEST(SourceToDoItemTest, RefusesValuesThatWouldNotReadBack) {
    struct {
        std::string Comment;
        TField Field;
        std::string Value, Message;
    } const Cases[] = {
        {"{ TODO: x }", Owner, "a:b",
         "cannot write the owner \"a:b\" into this comment: it would read back as \"a\""},
        {"{ TODO -oAnn: x }", Owner, "a-b", "it would read back as \"a\""},
        {"{ TODO: x }", Category, "x -oBob", "it would read back as \"x\""},
        {"{ TODO: x }", Text, " lead", "it would read back as \"lead\""},
        {"{ TODO: x }", Text, "a } b", "would break the comment"},
        {"/* TODO: x */", Text, "a */ b", "would break the comment"},
        {"(* TODO: x *)", Text, "x *) y", "would break the comment"},
        {"// TODO: x", Text, "a\nb", "would break the comment"},
        {"{ TODO: x }", Priority, "6", "Priority must be between 0 and 5."},
    };
    for (const auto& C : Cases) {
        TFakeFile File(Prefix + C.Comment + Suffix);
        const TStatus S = Set(*File.Item(0), C.Field, C.Value);
        EXPECT_NE(S.Message().find(C.Message), std::string::npos)
            << C.Comment << ": " << S.Message();
        EXPECT_EQ(File.Updater->Writes, 0) << C.Comment;
        // The refusal leaves the item usable for a value that fits.
        EXPECT_TRUE(File.Item(0)->SetChecked(true));
        EXPECT_TRUE(TFakeFile(File.Updater->Text).Item(0)->GetChecked()) << C.Comment;
    }
}

TEST(SourceToDoItemTest, RefusesStaleOrphanedOrReadOnlyItems) {
    TFakeFile File(Prefix + "{ TODO: x }" + Suffix);
    auto Item = File.Item(0);
    File.Updater->Text.insert(0, "// new line\n");
    for (TStatus S : {Item->SetText("y"), Item->SetChecked(true), Item->Delete()})
        EXPECT_NE(S.Message().find("/virtual/unit.pas:25 changed since it was read; parse the "
                                   "file again"),
                  std::string::npos)
            << S.Message();

    File.Manager->SetUpdater(nullptr); // no module and no handler: no updater is found again
    EXPECT_EQ(Item->SetText("y").Message(),
              "/virtual/unit.pas has no updater; its to-do items cannot be changed");
    File.Manager->SetUpdater(File.Updater);
    File.Manager.reset(); // an item outliving its manager still reads but changes nothing
    EXPECT_FALSE(Item->IsValid());
    EXPECT_EQ(Item->GetText(), "x ");
    EXPECT_FALSE(Item->SetText("y"));
    EXPECT_FALSE(Item->Delete());
    EXPECT_EQ(File.Updater->Writes, 0);
}

TEST(SourceToDoItemTest, DeleteRemovesTheCommentAsItNowStandsAndWakesTheParseThread) {
    TParseThreadScope Thread;
    TFakeFile File(Prefix + "{ TODO: x }" + Suffix);
    auto Item = File.Item(0);
    ASSERT_TRUE(Item->SetOwner("Bob"));
    ASSERT_TRUE(Item->Delete());
    EXPECT_EQ(File.Updater->Text, Prefix + Suffix);
    EXPECT_EQ(Thread.Count, 1);
}

} // namespace
