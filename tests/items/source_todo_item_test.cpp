#include "items/source_todo_item.h"

#include "fake_updater.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

// Every order of every subset of the setters on a variety of comments: the file parses back
// with a fresh manager to exactly the values written, with every byte outside the comment kept.
TEST(SourceToDoItemTest, AnySetterSequenceReadsBackExactly) {
    const std::vector<std::string> Starts(
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }", "// DONE: ship it", "{ todo: lower case }",
         "(* TODO -cBack end: x *)", "/* TODO -oAnn 3: t */", "{ TODO -xyz 3: t }", "{ TODO 7: t }",
         "{ TODO foo bar: t }", "{ TODO 2 foo: t }", "{TODO:}", "// TODO:", "/*TODO:*/",
         "{ TODO -o: x }", "{TODO-oAnn-cUI:x}", "(* DONE 4 -cCat:\r\n  first\r\n  second *)",
         "/* TODO -cDesign -oBob: multi\nline */", "{ TODO -oJürgen -cÜberblick: Größe ändern }"});
    const TValues Targets[] = {
        {"Done now", "Bob", "Back end", "4", "DONE"},
        {"Größe ändern\r\nzweite Zeile", "Jürgen", "Überblick", "1", "DONE"},
        {"", "", "", "0", "TODO"},
        {"a: b", "Ann", "UI", "5", "TODO"},
    };
    for (const std::string& Start : Starts)
        for (const TValues& Target : Targets) {
            int Order[] = {Text, Owner, Category, Priority, Checked};
            do { // each prefix of each permutation is checked: every order of every subset
                TFakeFile File(Prefix + Start + Suffix);
                auto Item = File.Item(0);
                TValues Intended = ValuesOf(*Item);
                std::string Trace = Start + " <-";
                for (int F : Order) {
                    Trace += " " + std::to_string(F);
                    const TStatus S = Set(*Item, F, Target[F]);
                    // Only a line break in a line comment may be refused.
                    const bool Refuse = Start.starts_with("//") && F == Text &&
                                        Target[F].find('\n') != std::string::npos;
                    ASSERT_EQ(S.Ok(), !Refuse) << Trace << ": " << S.Message();
                    if (S)
                        Intended[F] = Target[F];
                    const std::string& Out = File.Updater->Text;
                    ASSERT_TRUE(Out.starts_with(Prefix) && Out.ends_with(Suffix)) << Trace << Out;
                    ASSERT_EQ(Out.substr(Prefix.size(), Out.size() - Prefix.size() - Suffix.size()),
                              Item->GetCurrentText());
                    TFakeFile Again(Out);
                    ASSERT_EQ(Again.Manager->GetItemCount(), 2) << Trace << Out;
                    ASSERT_EQ(ValuesOf(*Again.Item(0)), Intended) << Trace << Out;
                }
            } while (std::next_permutation(std::begin(Order), std::end(Order)));
        }
}

// Expected is the comment as written, or after "!" part of the refusal: then nothing is written
// and the item stays usable.
TEST(SourceToDoItemTest, SingleSetterWritesExactBytesOrRefuses) {
    const struct {
        std::string Comment;
        TField Field;
        std::string Value, Expected;
    } Cases[] = {
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
        {"{ TODO: x }", Owner, "a:b", "!\"a:b\" into this comment: it would read back as \"a\""},
        {"{ TODO -oAnn: x }", Owner, "a-b", "!it would read back as \"a\""},
        {"{ TODO: x }", Category, "x -oBob", "!it would read back as \"x\""},
        {"{ TODO: x }", Text, " lead", "!it would read back as \"lead\""},
        {"{ TODO: x }", Text, "a } b", "!would break the comment"},
        {"/* TODO: x */", Text, "a */ b", "!would break the comment"},
        {"(* TODO: x *)", Text, "x *) y", "!would break the comment"},
        {"// TODO: x", Text, "a\nb", "!would break the comment"},
        {"{ TODO: x }", Priority, "6", "!Priority must be between 0 and 5."},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Comment + " <- " + C.Value);
        TFakeFile File(Prefix + C.Comment + Suffix);
        auto Item = File.Item(0);
        const TStatus S = Set(*Item, C.Field, C.Value);
        if (C.Expected[0] != '!') {
            ASSERT_TRUE(S) << S.Message();
            EXPECT_EQ(File.Updater->Text, Prefix + C.Expected + Suffix);
            EXPECT_FALSE(Item->IsValid()) << "a rewrite leaves the manager unparsed";
            continue;
        }
        EXPECT_THAT(S.Message(), testing::HasSubstr(C.Expected.substr(1)));
        EXPECT_EQ(File.Updater->Writes, 0);
        EXPECT_TRUE(Item->SetChecked(true));
        EXPECT_TRUE(TFakeFile(File.Updater->Text).Item(0)->GetChecked());
    }
}

TEST(SourceToDoItemTest, RefusesStaleOrphanedOrReadOnlyItems) {
    TFakeFile File(Prefix + "{ TODO: x }" + Suffix, "/virtual/unit.txt");
    auto Item = File.Item(0);
    File.Updater->Text.insert(0, "// new line\n");
    for (TStatus S : {Item->SetText("y"), Item->SetChecked(true), Item->Delete()})
        EXPECT_THAT(S.Message(),
                    testing::HasSubstr("/virtual/unit.txt:25 changed since it was read"));

    File.Manager->SetUpdater(nullptr); // a file of no language: none is found again
    EXPECT_EQ(Item->SetText("y").Message(),
              "/virtual/unit.txt has no updater; its to-do items cannot be changed");
    File.Manager->SetUpdater(File.Updater);
    File.Manager.reset(); // an item outliving its manager still reads but changes nothing
    EXPECT_FALSE(Item->IsValid());
    EXPECT_EQ(Item->GetText(), "x ");
    EXPECT_FALSE(Item->SetText("y"));
    EXPECT_FALSE(Item->Delete());
    EXPECT_EQ(File.Updater->Writes, 0);
}

} // namespace
