#pragma once

#include "host/clipboard.h"

/// The desktop's clipboard for the core: text goes to and comes from the system clipboard.
/// Install it with SetClipboard once the QApplication exists. Main thread only.
class TQtClipboard : public IClipboard {
public:
    void Clear() override;
    void SetAsWideText(const std::wstring& Text) override;
    std::wstring AsWideText() const override;
};
