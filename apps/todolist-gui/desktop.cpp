#include "desktop.h"

#include "host/ini_file.h"
#include "host/module.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/ide_services.h"

#include <QMainWindow>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

/// Lists longer than this in a desktop file are damage, not a desktop.
constexpr int MaxListCount = 10000;

std::string HomeFolder() {
    if (const char* Home = std::getenv("HOME"); Home && *Home)
        return Home;
    if (const passwd* Entry = ::getpwuid(::getuid()); Entry && Entry->pw_dir)
        return Entry->pw_dir;
    return {};
}

/// FNV-1a, 64 bits: small, and the same on every run and build, which std::hash is not.
std::uint64_t StableHash(std::string_view Text) {
    std::uint64_t Hash = 14695981039346656037ull;
    for (unsigned char C : Text) {
        Hash ^= C;
        Hash *= 1099511628211ull;
    }
    return Hash;
}

std::string Hex16(std::uint64_t Value) {
    char Text[17];
    std::snprintf(Text, sizeof Text, "%016llx", static_cast<unsigned long long>(Value));
    return Text;
}

std::string Key(const char* Name, size_t Index) {
    return Name + std::to_string(Index);
}

TStatus ReadBase64(const TIniFile& Desktop, const char* Ident, QByteArray& Out) {
    const std::string Text = Desktop.ReadString(MainWindowSection, Ident, "");
    auto Decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(Text),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!Decoded)
        return TStatus::Error(std::string("the value of ") + Ident + " is not base64");
    Out = *Decoded;
    return {};
}

} // namespace

std::string DesktopFolder() {
    const char* Xdg = std::getenv("XDG_CONFIG_HOME");
    if (Xdg && *Xdg && fs::path(Xdg).is_absolute())
        return (fs::path(Xdg) / "todolist" / "desktops").string();
    const std::string Home = HomeFolder();
    if (Home.empty())
        return {};
    return (fs::path(Home) / ".config" / "todolist" / "desktops").string();
}

std::string ProjectDesktopFileName(const std::string& ProjectFileName) {
    const std::string Folder = DesktopFolder();
    if (Folder.empty())
        return {};
    const fs::path Projects = fs::path(Folder) / "projects";
    if (ProjectFileName.empty())
        return (Projects / "default.dsk").string();
    const std::string Normal = NormalizeFileName(ProjectFileName);
    std::string Base = fs::path(Normal).stem().string();
    if (Base.empty())
        Base = "project";
    return (Projects / (Base + "-" + Hex16(StableHash(Normal)) + ".dsk")).string();
}

bool IsValidDesktopName(const std::string& Name) {
    if (Name.empty() || Name.size() > 100 || Name.front() == '.')
        return false;
    return std::none_of(Name.begin(), Name.end(), [](char C) {
        return C == '/' || static_cast<unsigned char>(C) < 0x20 || C == 0x7f;
    });
}

std::string NamedDesktopFileName(const std::string& Name) {
    const std::string Folder = DesktopFolder();
    if (Folder.empty() || !IsValidDesktopName(Name))
        return {};
    return (fs::path(Folder) / (Name + ".dst")).string();
}

std::vector<std::string> NamedDesktops() {
    std::vector<std::string> Names;
    const std::string Folder = DesktopFolder();
    std::error_code Ec;
    if (Folder.empty() || !fs::is_directory(Folder, Ec))
        return Names;
    for (const auto& Entry : fs::directory_iterator(Folder, Ec)) {
        const fs::path& P = Entry.path();
        if (P.extension() == ".dst" && Entry.is_regular_file(Ec) &&
            IsValidDesktopName(P.stem().string()))
            Names.push_back(P.stem().string());
    }
    std::sort(Names.begin(), Names.end());
    return Names;
}

void WriteDesktopLayout(TIniFile& Desktop, const TDesktopLayout& Layout, bool WithEditors) {
    Desktop.EraseSection(MainWindowSection);
    Desktop.WriteString(MainWindowSection, "Geometry", Layout.Geometry.toBase64().toStdString());
    Desktop.WriteString(MainWindowSection, "State", Layout.State.toBase64().toStdString());
    Desktop.EraseSection(FormsSection);
    Desktop.WriteInteger(FormsSection, "Count", static_cast<int>(Layout.Forms.size()));
    for (size_t I = 0; I < Layout.Forms.size(); ++I)
        Desktop.WriteString(FormsSection, Key("Class", I), Layout.Forms[I]);
    Desktop.EraseSection(EditorsSection);
    if (!WithEditors)
        return;
    Desktop.WriteInteger(EditorsSection, "Count", static_cast<int>(Layout.Editors.size()));
    for (size_t I = 0; I < Layout.Editors.size(); ++I) {
        Desktop.WriteString(EditorsSection, Key("File", I), Layout.Editors[I].FileName);
        Desktop.WriteInteger(EditorsSection, Key("Cursor", I), Layout.Editors[I].Cursor);
    }
    Desktop.WriteInteger(EditorsSection, "Active", Layout.Active);
}

TStatus ReadDesktopLayout(const TIniFile& Desktop, TDesktopLayout& Layout) {
    Layout = {};
    if (!Desktop.Problems().empty())
        return TStatus::Error(Desktop.Problems().front());
    TDesktopLayout Read;
    if (TStatus S = ReadBase64(Desktop, "Geometry", Read.Geometry); !S)
        return S;
    if (TStatus S = ReadBase64(Desktop, "State", Read.State); !S)
        return S;
    auto Count = [&](const char* Section, int& Out) {
        Out = Desktop.ReadInteger(Section, "Count", 0);
        return Out >= 0 && Out <= MaxListCount;
    };
    int Forms = 0;
    if (!Count(FormsSection, Forms))
        return TStatus::Error("bad number of windows");
    for (int I = 0; I < Forms; ++I) {
        std::string Class = Desktop.ReadString(FormsSection, Key("Class", I), "");
        if (!Class.empty())
            Read.Forms.push_back(std::move(Class));
    }
    int Editors = 0;
    if (!Count(EditorsSection, Editors))
        return TStatus::Error("bad number of editors");
    const int Active = Desktop.ReadInteger(EditorsSection, "Active", -1);
    for (int I = 0; I < Editors; ++I) {
        std::string File = Desktop.ReadString(EditorsSection, Key("File", I), "");
        if (File.empty())
            continue;
        if (I == Active)
            Read.Active = static_cast<int>(Read.Editors.size());
        Read.Editors.push_back(
            {std::move(File),
             std::max(0, Desktop.ReadInteger(EditorsSection, Key("Cursor", I), 0))});
    }
    Layout = std::move(Read);
    return {};
}

TDockableForm* LiveDesktopForm(QMainWindow& Main, const std::string& ClassName) {
    if (TDockableForm** Field = FindFormField(ClassName); Field && *Field)
        return *Field;
    for (TDockableForm* Form : Main.findChildren<TDockableForm*>())
        if (ClassName == Form->metaObject()->className() ||
            QString::fromStdString(ClassName) == Form->objectName())
            return Form;
    return nullptr;
}

std::vector<std::string> SaveDesktopForms(TIniFile& Desktop, QMainWindow& Main, bool IsProject) {
    std::vector<std::string> Names;
    for (const TDesktopFormClass& Class : DesktopFormClasses()) {
        TDockableForm* Form = LiveDesktopForm(Main, Class.ClassName);
        if (!Form)
            continue;
        if (Form->DeskSection().empty())
            Form->SetDeskSection(Class.Section);
        Form->SaveWindowState(Desktop, IsProject);
        Names.push_back(Class.ClassName);
    }
    return Names;
}

void RestoreDesktopForms(const TIniFile& Desktop, const std::vector<std::string>& Forms,
                         QMainWindow& Main, const std::function<void(TDockableForm*)>& Dock) {
    // Copied: a factory may register further classes while it runs.
    const std::vector<TDesktopFormClass> Classes = DesktopFormClasses();
    for (const TDesktopFormClass& Class : Classes) {
        const bool Listed = std::find(Forms.begin(), Forms.end(), Class.ClassName) != Forms.end();
        TDockableForm* Form = LiveDesktopForm(Main, Class.ClassName);
        if (!Listed) {
            if (Form)
                Form->hide();
            continue;
        }
        if (!Form) {
            if (!Class.Factory)
                continue;
            Form = Class.Factory(&Main);
            if (!Form)
                continue;
            if (TDockableForm** Field = FindFormField(Class.ClassName))
                *Field = Form;
            if (Form->DeskSection().empty())
                Form->SetDeskSection(Class.Section);
            Dock(Form);
        }
        Form->LoadWindowState(Desktop);
    }
}

std::vector<std::string> FormFieldNamesOf(const TDockableForm& Form) {
    return {Form.metaObject()->className(), Form.objectName().toStdString()};
}

void ClearFormFieldsOf(const TDockableForm* Form, const std::vector<std::string>& Names) {
    // Only compares the pointer: Form may be in the middle of its destruction.
    auto Clear = [Form](const std::string& Name) {
        if (TDockableForm** Field = FindFormField(Name); Field && *Field == Form)
            *Field = nullptr;
    };
    for (const TDesktopFormClass& Class : DesktopFormClasses())
        Clear(Class.ClassName);
    for (const std::string& Name : Names)
        Clear(Name);
}
