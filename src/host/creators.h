#pragma once

#include "host/iinterface.h"

#include <string>
#include <utility>

/// The text of a new file as a creator supplies it.
class ISourceFile : public virtual IInterface {
public:
    /// The name of the file the text is for; the host creates the module under it.
    virtual std::string GetFileName() = 0;
    /// The bytes the new file starts with.
    virtual std::string GetSource() = 0;
};

/// What the host asks a creator when it makes the module of a new file (TModule::Create).
class ISourceCreator : public virtual IInterface {
public:
    /// True when the new module is opened in an editor view (and made the active one).
    virtual bool GetShowSource() = 0;
    /// True when the new file is added to the active project.
    virtual bool GetIncludeInProject() = 0;
    /// The new file's name and text; null makes the creation fail.
    virtual TRef<ISourceFile> GetSource() = 0;
};

/// Base of creators with the host's default answers: shown in the editor, not added to the
/// project. Subclasses supply GetSource.
class TDefaultCreator : public ISourceCreator {
public:
    bool GetShowSource() override { return true; }
    bool GetIncludeInProject() override { return false; }
};

/// A source file held in a string: the first constructor argument is the file's name, the
/// second its text.
class TStringFile : public ISourceFile {
public:
    TStringFile(std::string FileName, std::string Source)
        : FFileName(std::move(FileName)), FSource(std::move(Source)) {}
    std::string GetFileName() override { return FFileName; }
    std::string GetSource() override { return FSource; }

private:
    std::string FFileName;
    std::string FSource;
};
