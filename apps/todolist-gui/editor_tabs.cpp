#include "editor_tabs.h"

#include "code_editor.h"

#include "host/edit_buffer.h"
#include "host/module.h"
#include "ui/shell/ide_services.h"
#include "ui/shell/window_sink.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QThread>
#include <QTimer>

TEditorTabs::TEditorTabs(QWidget* Parent) : QTabWidget(Parent) {
    setObjectName(QStringLiteral("EditorTabs"));
    FPoster = new TCallPoster(this);
    setTabsClosable(true);
    setMovable(true);
    setDocumentMode(true);

    connect(this, &QTabWidget::currentChanged, this,
            [this](int Index) { OnCurrentChanged(Index); });
    connect(this, &QTabWidget::tabCloseRequested, this, [this](int Index) {
        if (auto* E = qobject_cast<TCodeEditor*>(widget(Index)))
            CloseEditor(E);
    });

    // The host raises these on the main thread, after its own locks are released.
    FViewToken = EvViewNotification().Add(
        [this](TEditView* View, TViewOperation Operation) { OnViewNotification(View, Operation); });
    FActivatedToken =
        EvModuleActivated().Add([this](TModule* Module) { OnModuleActivated(Module); });
    // The renaming command renames the module (TModule::Rename) before the project raises
    // these, so the module's file name is the new one by then.
    const auto Renamed = [this](IProject&, const std::string& Old, const std::string& New) {
        if (QThread::currentThread() == thread())
            OnRenamed(Old, New);
        else
            FPoster->Post([this, Old, New] { OnRenamed(Old, New); });
    };
    FModuleRenamedToken = EvProjectModuleRenamed().Add(Renamed);
    FProjectRenamedToken = EvProjectRenamed().Add(Renamed);

    FPreviousShowText = TEditBuffer::ShowTextProc;
    QPointer<TEditorTabs> Self(this);
    TEditBuffer::ShowTextProc = [Self](TEditBuffer& Buffer, int, int) {
        if (Self)
            Self->ShowText(Buffer);
    };
}

TEditorTabs::~TEditorTabs() {
    TEditBuffer::ShowTextProc = FPreviousShowText;
    EvViewNotification().Remove(FViewToken);
    EvModuleActivated().Remove(FActivatedToken);
    EvProjectModuleRenamed().Remove(FModuleRenamedToken);
    EvProjectRenamed().Remove(FProjectRenamedToken);
    auto& Lists = EditorActionLists();
    if (!Lists.empty() && Lists[0]->EditControl() == CurrentEditor())
        Lists[0]->SetEditControl(nullptr);
}

TCodeEditor* TEditorTabs::EditorOf(const std::string& FileName) const {
    const std::string Name = NormalizeFileName(FileName);
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I)); E && E->FileName() == Name)
            return E;
    return nullptr;
}

TCodeEditor* TEditorTabs::EditorOfBuffer(const TEditBuffer* Buffer) const {
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I)); E && E->Buffer().get() == Buffer)
            return E;
    return nullptr;
}

TCodeEditor* TEditorTabs::CurrentEditor() const {
    return qobject_cast<TCodeEditor*>(currentWidget());
}

std::vector<std::string> TEditorTabs::OpenFiles() const {
    std::vector<std::string> Files;
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I)))
            Files.push_back(E->FileName());
    return Files;
}

void TEditorTabs::OnViewNotification(TEditView* View, TViewOperation Operation) {
    const std::shared_ptr<TModule>& Module = View ? View->GetModule() : nullptr;
    if (!Module)
        return;
    if (Operation == voInsert) {
        if (!EditorOfBuffer(Module->GetBuffer().get()))
            AddEditor(Module);
        return;
    }
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I)); E && E->Module() == Module) {
            RemoveEditor(E);
            return;
        }
}

void TEditorTabs::OnModuleActivated(TModule* Module) {
    if (!Module) {
        ActivateCurrentLater();
        return;
    }
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I)); E && E->Module().get() == Module) {
            FFollowingHost = true;
            setCurrentIndex(I);
            FFollowingHost = false;
            return;
        }
}

void TEditorTabs::OnRenamed(const std::string& OldName, const std::string& NewName) {
    const QString Old = QString::fromStdString(NormalizeFileName(OldName));
    const std::string New = NormalizeFileName(NewName);
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I));
            E && (E->FileName() == New || E->property("fileName").toString() == Old))
            UpdateTab(E);
}

void TEditorTabs::OnCurrentChanged(int) {
    TCodeEditor* E = CurrentEditor();
    auto& Lists = EditorActionLists();
    if (!Lists.empty())
        Lists[0]->SetEditControl(E);
    if (!FFollowingHost && E)
        SetActiveModule(E->Module());
    RequestActionUpdate();
    emit CurrentEditorChanged(E);
    if (E)
        E->UpdateStatus();
    else
        emit StatusChanged(0, 0, false);
}

void TEditorTabs::AddEditor(const std::shared_ptr<TModule>& Module) {
    auto* E = new TCodeEditor(Module); // owned by this (Qt parent, once added)
    connect(E, &TCodeEditor::ModifiedChanged, this, [this, E](bool) { UpdateTab(E); });
    connect(E, &TCodeEditor::StatusChanged, this, [this, E](int Line, int Column, bool Modified) {
        if (E == CurrentEditor())
            emit StatusChanged(Line, Column, Modified);
    });
    // Selecting the first tab is Qt's doing, not the user's: the host decides what is active.
    FFollowingHost = true;
    const int Index = addTab(E, QString());
    FFollowingHost = false;
    UpdateTab(E);
    if (ActiveModule() == Module)
        OnModuleActivated(Module.get());
    else if (Index == currentIndex())
        ActivateCurrentLater(); // the first tab, opened without being shown
}

void TEditorTabs::ActivateCurrentLater() {
    // With no active module but a tab shown, the shown one is what the user works in. Told
    // after the host finished raising the event that got us here, so no handler sees the
    // activations out of order.
    QTimer::singleShot(0, this, [this] {
        if (TCodeEditor* E = CurrentEditor(); E && !ActiveModule())
            SetActiveModule(E->Module());
    });
}

void TEditorTabs::RemoveEditor(TCodeEditor* Editor) {
    const int Index = indexOf(Editor);
    if (Index < 0)
        return;
    // The module may stay loaded (the list still shows its items): typing not yet reported
    // has to reach it.
    if (FindDocModule(Editor->FileName()) == Editor->Module())
        Editor->FlushModified();
    FFollowingHost = true;
    removeTab(Index);
    FFollowingHost = false;
    Editor->hide();
    // Later: the editor may be on the call stack (its context menu closed it).
    Editor->setParent(nullptr);
    Editor->deleteLater();
}

void TEditorTabs::UpdateTab(TCodeEditor* Editor) {
    const int Index = indexOf(Editor);
    if (Index < 0)
        return;
    const QString Path = QString::fromStdString(Editor->FileName());
    const QString Base = QFileInfo(Path).fileName();
    Editor->setProperty("fileName", Path); // follows a rename
    setTabText(Index, (Editor->IsModified() ? QStringLiteral("*") : QString()) + Base);
    const QString Note = Editor->Note();
    setTabToolTip(Index, Note.isEmpty() ? Path : Path + QLatin1Char('\n') + Note);
}

int TEditorTabs::Ask(const QString& Text, const QStringList& Buttons, int EscapeIndex) {
    QMessageBox Box(QMessageBox::Question, tr("To-Do List"), Text, QMessageBox::NoButton,
                    this); // on the stack; parented so that it is modal to the window
    QList<QPushButton*> Added;
    for (int I = 0; I < Buttons.size(); ++I)
        Added << Box.addButton(Buttons[I], I == EscapeIndex ? QMessageBox::RejectRole
                                                            : QMessageBox::AcceptRole);
    Box.setDefaultButton(Added.value(0));
    Box.setEscapeButton(Added.value(EscapeIndex));
    Box.exec();
    const int Chosen =
        static_cast<int>(Added.indexOf(qobject_cast<QPushButton*>(Box.clickedButton())));
    return Chosen < 0 ? EscapeIndex : Chosen;
}

void TEditorTabs::ShowError(const QString& Text) {
    QMessageBox Box(QMessageBox::Warning, tr("To-Do List"), Text, QMessageBox::Ok, this);
    Box.exec();
}

bool TEditorTabs::SaveEditor(TCodeEditor* Editor) {
    if (!Editor)
        return false;
    if (Editor->IsBinary() && !Editor->IsModified())
        return true; // nothing the editor could have changed
    Editor->FlushModified();
    const std::shared_ptr<TModule>& Module = Editor->Module();
    const std::shared_ptr<TEditBuffer>& Buffer = Editor->Buffer();
    TStatus S = Module->Save();
    if (!S && Buffer->ChangedOnDisk() && !Editor->IsDeletedOnDisk()) {
        const QString Name = QFileInfo(QString::fromStdString(Editor->FileName())).fileName();
        enum { Reload, Overwrite, Cancel };
        switch (Ask(tr("%1 changed on disk since it was opened.").arg(Name),
                    {tr("Reload"), tr("Overwrite"), tr("Cancel")}, Cancel)) {
        case Reload:
            return ReloadEditor(Editor);
        case Overwrite:
            Buffer->AdoptDiskState();
            S = Module->Save();
            break;
        default:
            return false;
        }
    }
    if (!S) {
        ShowError(QString::fromStdString(S.Message()));
        return false;
    }
    Editor->MarkSaved();
    UpdateTab(Editor);
    return true;
}

bool TEditorTabs::SaveAll() {
    bool AllSaved = true;
    for (int I = 0; I < count(); ++I)
        if (auto* E = qobject_cast<TCodeEditor*>(widget(I)); E && E->IsModified())
            AllSaved = SaveEditor(E) && AllSaved;
    return AllSaved;
}

bool TEditorTabs::ReloadEditor(TCodeEditor* Editor) {
    Editor->FlushModified();
    const std::string Name = Editor->FileName();
    if (TStatus S = Editor->Buffer()->Reload(); !S) {
        ShowError(QString::fromStdString(S.Message()));
        return false;
    }
    Editor->Module()->SetModified(false);
    Editor->Refresh();
    Editor->MarkSaved();
    UpdateTab(Editor);
    NotifyModuleModified(Name);
    return true;
}

bool TEditorTabs::CloseEditor(TCodeEditor* Editor) {
    if (!Editor || indexOf(Editor) < 0)
        return false;
    const std::string Name = Editor->FileName();
    if (Editor->IsModified()) {
        setCurrentWidget(Editor);
        const QString Base = QFileInfo(QString::fromStdString(Name)).fileName();
        enum { Save, Discard, Cancel };
        switch (Ask(tr("Save changes to %1?").arg(Base), {tr("Save"), tr("Discard"), tr("Cancel")},
                    Cancel)) {
        case Save:
            if (!SaveEditor(Editor))
                return false;
            break;
        case Discard: {
            // The module stays loaded for the list: it must be the file as it is on disk. A
            // file that cannot be read again (deleted, never saved) is dropped altogether.
            Editor->FlushModified();
            const std::shared_ptr<TModule> Module = Editor->Module();
            if (TStatus S = Module->GetBuffer()->Reload(); S && !Module->IsNew()) {
                Module->SetModified(false);
                Editor->Refresh();
                Editor->MarkSaved();
                NotifyModuleModified(Name);
            } else {
                CloseModule(Name);
                NotifyModuleModified(Name);
            }
            break;
        }
        default:
            return false;
        }
    }
    CloseEditorView(Name);
    // A module the host no longer holds raises no event: the tab goes anyway.
    if (indexOf(Editor) >= 0)
        RemoveEditor(Editor);
    return true;
}

bool TEditorTabs::CloseAll() {
    while (count() > 0) {
        auto* E = qobject_cast<TCodeEditor*>(widget(count() - 1));
        if (!E || !CloseEditor(E))
            return false;
    }
    return true;
}

void TEditorTabs::FileChangedOnDisk(const std::string& FileName) {
    TCodeEditor* E = EditorOf(FileName);
    if (!E || FAsking.count(E->FileName()))
        return;
    const std::string Name = E->FileName();
    const std::shared_ptr<TEditBuffer> Buffer = E->Buffer();
    if (!FileExists(Name)) {
        if (!E->IsDeletedOnDisk()) {
            E->SetDeletedOnDisk(true);
            UpdateTab(E);
        }
        return;
    }
    // Our own save, a touch, or the same bytes again: nothing to do.
    if (!Buffer->ChangedOnDisk()) {
        if (E->IsDeletedOnDisk()) { // it came back as it was
            E->SetDeletedOnDisk(false);
            UpdateTab(E);
        }
        return;
    }
    if (E->IsModified()) {
        const QString Base = QFileInfo(QString::fromStdString(Name)).fileName();
        FAsking.insert(Name);
        QPointer<TCodeEditor> Guard(E);
        const int Answer = Ask(tr("%1 changed on disk. Reload it and lose your changes?").arg(Base),
                               {tr("Yes"), tr("No")}, 1);
        FAsking.erase(Name);
        if (!Guard || Answer != 0)
            return; // kept: a later save meets the conflict box
    }
    ReloadEditor(E);
}

void TEditorTabs::ShowText(TEditBuffer& Buffer) {
    TCodeEditor* E = EditorOfBuffer(&Buffer);
    if (!E) {
        if (TStatus S = CallDefaultOpenProc(Buffer.GetFileName(), true); !S)
            return;
        E = EditorOfBuffer(&Buffer);
        if (!E)
            return;
    }
    setCurrentWidget(E);
    SetActiveModule(E->Module()); // also when the tab was current already
    E->ShowOffset(Buffer.GetCursorPos());
    E->setFocus();
}
