#pragma once

#include "host/code_updater.h"
#include "host/create_updaters.h"
#include "host/imodule.h"
#include "host/itodo_updater.h"
#include "host/module.h"

#include <memory>
#include <string>
#include <string_view>

/// The updater of a project's to-do file: reads its comments with TToDoFileScanner and edits its
/// module's buffer through TCodeUpdater; the file itself is written when the module is saved.
/// Positions are 0-based byte offsets into the module's text; Section is ignored (one section).
/// Every edit is committed before it returns, so the change is in the buffer then, and it marks
/// the module (and its owners) modified. Without a module (null, or closed since) the edits
/// fail, ParseItems reports nothing and HoldsText is false. Thread-safe as far as TCodeUpdater
/// is; make it with std::make_shared (QueryInterface hands out shared references to itself).
class TToDoFileUpdater : public TCodeUpdater,
                         public IToDoUpdater,
                         public IModuleUpdater,
                         public IInterfaceProvider,
                         public std::enable_shared_from_this<TToDoFileUpdater> {
public:
    explicit TToDoFileUpdater(TRef<IModule> Module);

    TStatus DeleteText(int StartPos, int EndPos, int Section) override;
    /// Replaces the bytes [StartPos, EndPos) by Text in one step.
    TStatus UpdateText(int StartPos, int EndPos, std::string_view Text, int Section) override;
    TStatus AddText(int Pos, std::string_view Text, int Section) override;
    /// Text := "{" + Text + "}" + CR LF, every line break (CR LF, lone LF, lone CR) then made
    /// CR LF. Never refused: a "}" in the body is written as it is (and then ends the comment
    /// early when read back; IsOneComment tells).
    TStatus MakeComment(std::string& Text) override;
    /// Scans a copy of the module's text taken when the call starts, so Proc runs without any
    /// lock and may call back into the updater. Reports brace, paren-star and line comments (a
    /// line comment with its line break) with their 0-based offsets, in file order.
    void ParseItems(const TParseItemsProc& Proc) override;
    bool HoldsText(int Pos, std::string_view Text) override;
    /// True when Text alone scans as exactly one comment covering all of it.
    bool IsOneComment(std::string_view Text) override;

    bool GetIsEditable() override { return true; }
    bool GetReadOnly() override { return TCodeUpdater::GetReadOnly(); }
    /// The file-name part (no folder) of the module's file name; empty without a module.
    std::string GetModuleName() override;
    std::string GetModuleTab() override { return GetModuleName(); }

    /// Offers IToDoUpdater, IModuleUpdater and IInterfaceProvider.
    TRef<IInterface> QueryInterface(const std::type_info& Type) override;
};

/// Makes the updaters of .todo modules; registered with the host by InitializeToDoUpdaters.
class TToDoCreateUpdaters : public TBaseCreateUpdaters {
public:
    /// A new TToDoFileUpdater working on Module.
    TRef<IModuleUpdater> CreateModuleUpdater(const TRef<IModule>& Module) override;
    /// True for a name whose extension is ".todo" in any letter case.
    bool CanHandleFile(const std::string& FileName) override;
};
