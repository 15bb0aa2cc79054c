#include "SoftwareUpdateDialog.h"

#include "update/SoftwareUpdaterModel.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

SoftwareUpdateDialog::SoftwareUpdateDialog(SoftwareUpdaterModel& updater, QWidget* parent)
    : QWidget(parent, Qt::Dialog)
    , m_updater(updater)
{
    setWindowTitle(QStringLiteral("ソフトウェア・アップデート"));
    auto* layout = new QVBoxLayout(this);
    m_headline = new QLabel(this);
    m_headline->setObjectName(QStringLiteral("updateHeadline"));
    QFont bold = m_headline->font();
    bold.setBold(true);
    m_headline->setFont(bold);
    layout->addWidget(m_headline);
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("updateDetail"));
    m_detail->setWordWrap(true);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_detail);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("updateProgress"));
    layout->addWidget(m_progress);
    m_notes = new QPlainTextEdit(this);
    m_notes->setObjectName(QStringLiteral("releaseNotes"));
    m_notes->setReadOnly(true);
    layout->addWidget(m_notes, 1);
    auto* buttons = new QDialogButtonBox(this);
    m_install = buttons->addButton(QStringLiteral("インストール"), QDialogButtonBox::AcceptRole);
    m_install->setObjectName(QStringLiteral("installUpdateButton"));
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(m_install, &QPushButton::clicked, &updater, [this] {
        if (m_updater.installUpdate()) {
            hide();
        }
    });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    connect(&updater, &SoftwareUpdaterModel::sessionChanged, this, [this] { refresh(); });
    resize(520, 420);
    refresh();
}

QString SoftwareUpdateDialog::plainReleaseNotes(const QString& notes)
{
    if (!notes.contains(QLatin1Char('<'))) {
        return notes.trimmed();
    }
    return QTextDocumentFragment::fromHtml(notes).toPlainText().trimmed();
}

void SoftwareUpdateDialog::refresh()
{
    using Phase = SoftwareUpdateSession::Phase;
    const std::optional<SoftwareUpdateSession>& session = m_updater.session();
    const Phase phase = session ? session->phase : Phase::Checking;
    const QString version = session ? session->item.displayVersion() : QString();
    QString headline;
    QString detail;
    switch (phase) {
    case Phase::Checking:
        headline = QStringLiteral("アップデートを確認しています...");
        break;
    case Phase::Downloading:
        headline = QStringLiteral("新しいバージョン %1 をダウンロードしています...").arg(version);
        break;
    case Phase::UpdateReady:
        headline = QStringLiteral("新しいバージョン %1 を利用できます").arg(version);
        detail = QStringLiteral("署名を検証したファイル: %1").arg(session->filePath);
        break;
    case Phase::UpToDate:
        headline = QStringLiteral("最新です");
        detail = QStringLiteral("Norvale %1 は最新のバージョンです。").arg(m_updater.version());
        break;
    case Phase::Failed:
        headline = QStringLiteral("アップデートを確認できませんでした");
        detail = session->message;
        break;
    }
    m_headline->setText(headline);
    m_detail->setText(detail);
    m_detail->setVisible(!detail.isEmpty());
    const bool busy = phase == Phase::Checking || phase == Phase::Downloading;
    m_progress->setVisible(busy);
    if (phase == Phase::Downloading && session->total > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(session->received * 1000 / session->total));
    } else {
        m_progress->setRange(0, 0); // busy until the size is known
    }
    const QString notes = session ? plainReleaseNotes(session->releaseNotes) : QString();
    if (m_notes->toPlainText() != notes) {
        m_notes->setPlainText(notes);
    }
    m_notes->setVisible(!notes.isEmpty());
    m_install->setVisible(phase == Phase::UpdateReady);
}
