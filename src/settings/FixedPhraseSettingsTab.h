#pragma once

// "定型文": folders on the left, the selected folder's phrases in the middle, the folder's name
// and the phrase's title and content on the right, CSV import and export at the top. The tab
// keeps only what is selected and whether a file dialog is up; every change goes through
// FixedPhraseModel, whose debounced save writes the file.
//
// The lists are item views over the store (no widget per row), so that a store of 10,000
// phrases opens at once. A row's check box shows and sets its visibility; rows are reordered
// by dragging them, which goes through the model's list move.
//
// Decisions:
// - File dialogs are Qt's own (the desktop's portal dialogs cannot be attached to the window
//   everywhere), window-modal on the settings window, non-blocking. The dialog's title is
//   the line that tells the user what to choose. The dialog's answer is handed on as it
//   arrives: nothing stands between the dialog and the transfer it starts.
// - Pane widths and icons follow the window's text size: 175 and 215 wide, 16-pixel icons at
//   the standard 13-pixel text, so they grow with the window at larger scales.
// - The content editor passes Tab on to the next control (keyboard users must be able to
//   leave it); a tab character can still be pasted.

#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class FixedPhraseModel;
class FixedPhraseSelection;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace FixedPhraseSettings {
class RowListModel;
}

class FixedPhraseSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    static inline const QString exportFileName = QStringLiteral("Norvale-定型文.csv");

    // What a file dialog asks for.
    struct FilePanelRequest
    {
        bool save = false;
        QString message;
        QString directory;
        // The file name proposed when saving.
        QString proposedName;
        QStringList nameFilters;
    };
    // Receives the chosen path, or nothing when the user cancelled.
    using FilePanelDone = std::function<void(std::optional<QString>)>;
    using FilePanelPresenter = std::function<void(const FilePanelRequest&, FilePanelDone)>;

    explicit FixedPhraseSettingsTab(FixedPhraseModel& model, QWidget* parent = nullptr);
    ~FixedPhraseSettingsTab() override;

    // Tests put themselves in place of the dialog.
    void setFilePanelPresenter(FilePanelPresenter presenter);
    FixedPhraseSelection& selection() const { return *m_selection; }

    void importFixedPhrases();
    void exportFixedPhrases();

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeListPane(const QString& header, FixedPhraseSettings::RowListModel* rows,
        QListView*& list, QCheckBox*& checkAll, QList<QToolButton*>& buttons,
        const QStringList& helps, const QString& objectPrefix);
    QWidget* makeContentPane();
    void presentFilePanel(const FilePanelRequest& request, FilePanelDone done);
    bool canStartTransfer() const;
    void followListSelection(QListView* list);
    // Brings every control in line with the store and the selection.
    void showState();
    void showRows();
    void showListSelection();
    void showContent();
    void showButtons();
    void applyScale();

    FixedPhraseModel& m_model;
    FixedPhraseSelection* m_selection = nullptr;
    FilePanelPresenter m_presentFilePanel;
    bool m_filePanelActive = false;
    // Set while the controls are being brought in line, so that their signals are not taken
    // for the user's edits.
    bool m_showing = false;

    FixedPhraseSettings::RowListModel* m_folderRows = nullptr;
    FixedPhraseSettings::RowListModel* m_phraseRows = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QLabel* m_status = nullptr;
    QWidget* m_folderPane = nullptr;
    QWidget* m_phrasePane = nullptr;
    QListView* m_folderList = nullptr;
    QListView* m_phraseList = nullptr;
    QCheckBox* m_allFolders = nullptr;
    QCheckBox* m_allPhrases = nullptr;
    QList<QToolButton*> m_folderButtons;
    QList<QToolButton*> m_phraseButtons;
    QLineEdit* m_folderTitle = nullptr;
    QLineEdit* m_phraseTitle = nullptr;
    QPlainTextEdit* m_content = nullptr;
    QLabel* m_emptyNote = nullptr;
};
