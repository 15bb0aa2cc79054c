#pragma once

// "クリップボード": how the quick panel shows the history, what is captured and kept, and what
// the kept history occupies. The counts and sizes follow every change the model publishes.

#include <QWidget>

class ClipboardHistoryModel;
class ClipboardStorageUsageRow;

class ClipboardMonitoringSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    explicit ClipboardMonitoringSettingsTab(
        ClipboardHistoryModel& model, QWidget* parent = nullptr);

private:
    void showUsage();

    ClipboardHistoryModel& m_model;
    ClipboardStorageUsageRow* m_textUsage = nullptr;
    ClipboardStorageUsageRow* m_urlUsage = nullptr;
    ClipboardStorageUsageRow* m_imageUsage = nullptr;
    ClipboardStorageUsageRow* m_totalUsage = nullptr;
};
