#pragma once

// The window of a software update check: what the check is doing or found (the version, the
// release notes as plain text, the download's progress) and, once the download is verified,
// the button that opens it with the desktop's installer; the path is shown either way. "No
// update" and errors appear here too when the user started the check. Closing only hides it.

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class SoftwareUpdaterModel;

class SoftwareUpdateDialog final : public QWidget
{
    Q_OBJECT

public:
    explicit SoftwareUpdateDialog(SoftwareUpdaterModel& updater, QWidget* parent = nullptr);

    // Notes that look like HTML lose their markup; nothing in them is ever run or fetched.
    static QString plainReleaseNotes(const QString& notes);

private:
    void refresh();

    SoftwareUpdaterModel& m_updater;
    QLabel* m_headline = nullptr;
    QLabel* m_detail = nullptr;
    QProgressBar* m_progress = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QPushButton* m_install = nullptr;
};
