#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class TToDoFilterList;

/// Which of the service's filter lists a filter dialog edits; the window's filter actions carry
/// the value as their tag.
enum TFilterType : unsigned char { ftCategory = 0, ftOwner = 1, ftKind = 2 };

/// The modal dialog that chooses which categories, owners or item origins the To-Do List window
/// shows: one check box line per value that current items carry or that is hidden, sorted
/// alphabetically without regard to case; a checked line is shown, an unchecked one hidden.
/// Changes (Show All included) take effect only on OK; Cancel or closing changes nothing. Made
/// for one EditFilter run and freed after it; it keeps no state between runs. Main thread only.
class TToDoFilterDlg : public QDialog {
    Q_OBJECT
public:
    explicit TToDoFilterDlg(QWidget* Parent = nullptr);

    /// Runs the dialog for the service's list of FilterType. On OK every listed value becomes
    /// -1 when unchecked, otherwise 0 (category, owner) or 1 (origin), and the service collates
    /// again. Nothing without a service.
    void EditFilter(TFilterType FilterType);
    /// Hides the Add button (it is never shown) and enables Show All exactly when the list has
    /// at least one line.
    void UpdateButtons();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    /// Checks every line.
    void btnShowAllClick();
    void btnHelpClick();

    TToDoFilterList* FFilterList = nullptr; // the service's, not owned
    TFilterType FFilterType = ftCategory;

    // Children, owned by this (Qt parent).
    QListWidget* FCheckList;
    QPushButton* FAddButton;
    QPushButton* FOKButton;
    QPushButton* FCancelButton;
    QPushButton* FShowAllButton;
    QLabel* FLabel1;
    QPushButton* FHelpButton;
};
