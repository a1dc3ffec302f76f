#pragma once

#include "host/canvas.h"
#include "host/iinterface.h"
#include "host/status.h"

#include <string>

/// One to-do item as the host and other packages see it. Texts are 8-bit strings holding
/// UTF-8 (module names are file names, bytes as the file system gives them).
class INTAToDoItem : public virtual IInterface {
public:
    virtual bool CanDelete() = 0;
    virtual bool CanEdit() = 0;
    virtual bool CanShow() = 0;
    virtual TStatus Delete() = 0;
    virtual void DrawImage(TCanvas& Canvas, const TRect& Rect) = 0;
    virtual void DoubleClicked() = 0;
    /// Opens the host's edit dialog for the item; false when there is none or it was cancelled.
    virtual bool Edit() = 0;
    virtual std::string GetText() = 0;
    /// 0 to 5; 0 means no priority.
    virtual int GetPriority() = 0;
    virtual std::string GetCategory() = 0;
    virtual bool GetChecked() = 0;
    virtual std::string GetModuleName() = 0;
    virtual std::string GetKind() = 0;
    virtual int GetData() = 0;
    virtual std::string GetOwner() = 0;
    virtual bool IsValid() = 0;
    virtual TStatus SetChecked(bool Value) = 0;
    virtual TStatus Show() = 0;
};
