// history list and history copy, and the clipboard history's status line.
//
// Indices are positions in the whole history, 0 = newest; --kind filters the rows but keeps
// their indices, so an index printed by `history list --kind image` can be given to
// `history copy`. Without a running instance `history list` reads "ClipboardHistory.json"
// itself, read-only: it never moves or rewrites the file (the instance owns that), and it
// shows kinds as the instance would after loading (a text that starts with a web address is a
// URL).

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "clipboard/ClipboardHistoryWriter.h"
#include "support/IsoDate.h"
#include "support/JsonWriter.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace {

QString imageSummary(const ClipboardHistoryItem& item)
{
    if (!item.imageData) {
        return QStringLiteral("no image data");
    }
    // The dimensions are in the header: a listing reads no more of each image than that.
    QByteArray head;
    item.imageData->readChunks(64 * 1024, [&head](QByteArrayView chunk) {
        head = chunk.toByteArray();
        return false;
    });
    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    const QString count = QStringLiteral("%1 bytes").arg(item.imageData->size());
    return size.isValid()
        ? QStringLiteral("%1 x %2, %3").arg(size.width()).arg(size.height()).arg(count)
        : count;
}

QByteArray listOutput(const QList<ClipboardHistoryItem>& items, const CommandInvocation& invocation)
{
    return HistoryCommands::formatList(items, invocation.option(QStringLiteral("kind")),
        invocation.hasOption(QStringLiteral("json")));
}

CommandResult listResult(
    const QList<ClipboardHistoryItem>& items, const CommandInvocation& invocation)
{
    CommandResult result;
    result.standardOutput = listOutput(items, invocation);
    return result;
}

CommandResult listFromFile(const CommandInvocation& invocation, LocalCommandContext& context)
{
    if (!context.files) {
        return listResult({}, invocation);
    }
    const QString path = context.files->filePath(ClipboardHistoryStorage::fileName());
    QFile file(path);
    if (!file.exists()) {
        return listResult({}, invocation);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return CommandResult::failure(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return CommandResult::failure(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    auto items = ClipboardHistoryStorage::decode(bytes);
    if (!items) {
        return CommandResult::failure(QStringLiteral(
            "%1 is not a readable history file (Norvale moves it aside at its next start)")
                                          .arg(path));
    }
    ClipboardHistoryItem::reclassifyLoaded(*items);
    return listResult(*items, invocation);
}

} // namespace

QByteArray HistoryCommands::formatList(
    const QList<ClipboardHistoryItem>& items, const QString& kind, bool json)
{
    JsonWriter writer(JsonWriter::Style::Pretty);
    QByteArray text;
    if (json) {
        writer.beginArray();
    }
    for (qsizetype index = 0; index < items.size(); ++index) {
        const ClipboardHistoryItem& item = items.at(index);
        const QString kindName = clipboardHistoryKindName(item.kind);
        if (!kind.isEmpty() && kindName != kind) {
            continue;
        }
        if (!json) {
            const QString preview = item.kind == ClipboardHistoryKind::Image
                ? imageSummary(item)
                : item.normalizedTextPreview();
            text += QStringLiteral("%1\t%2\t%3\t%4\n")
                        .arg(index)
                        .arg(kindName, IsoDate::format(item.createdAt), preview)
                        .toUtf8();
            continue;
        }
        ClipboardHistoryWriter::writeItem(
            writer, item, ClipboardHistoryWriter::Image::ByteCount, index);
    }
    if (!json) {
        return text;
    }
    writer.endArray();
    writer.finish();
    return writer.result() + '\n';
}

void registerHistoryCommands(CommandRegistry& registry)
{
    registry.addStatusLine([](const AppModels& models) {
        const ClipboardHistoryModel& history = models.clipboardHistory;
        return QStringLiteral("clipboardHistory\t%1\t%2")
            .arg(history.clipboardHistoryEnabled() ? QStringLiteral("on") : QStringLiteral("off"),
                history.statusMessage().value_or(QString()));
    });

    CommandSpec list;
    list.words = QStringList {QStringLiteral("history"), QStringLiteral("list")};
    list.summary = QStringLiteral(
        "List the clipboard history, newest first: index, kind, date and a preview per line.");
    list.options = {
        {QStringLiteral("kind"), QStringLiteral("KIND"),
            {QStringLiteral("text"), QStringLiteral("url"), QStringLiteral("image")},
            QStringLiteral("only entries of this kind (indices stay those of the whole history)")},
        {QStringLiteral("json"), QString(), {},
            QStringLiteral("print JSON; images give imageByteCount instead of their data")},
    };
    list.route = CommandRoute::InstancePreferred;
    list.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                          const CommandReply& reply) {
        // Tens of megabytes for a full history: built off the main thread from a snapshot.
        reply(CommandResult::outputBuiltLater(
            [items = context.models.clipboardHistory.items(), invocation] {
                return listOutput(items, invocation);
            }));
    };
    list.locally = listFromFile;
    registry.add(std::move(list));

    CommandSpec copy;
    copy.words = QStringList {QStringLiteral("history"), QStringLiteral("copy")};
    copy.summary = QStringLiteral("Put the entry at <index> back on the clipboard.");
    copy.arguments = {
        {QStringLiteral("index"), QStringLiteral("position in the history, 0 = newest")}};
    copy.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                          const CommandReply& reply) {
        ClipboardHistoryModel& history = context.models.clipboardHistory;
        bool ok = false;
        const QString text = invocation.arguments.first();
        const qlonglong index = text.toLongLong(&ok);
        if (!ok || index < 0 || text.startsWith(QLatin1Char('+'))) {
            return reply(CommandResult::failure(
                QStringLiteral("<index> must be a whole number from 0, not '%1'").arg(text),
                CommandExit::usage));
        }
        const QList<ClipboardHistoryItem> items = history.items();
        if (index >= items.size()) {
            return reply(CommandResult::failure(items.isEmpty()
                    ? QStringLiteral("the history is empty")
                    : QStringLiteral("no entry at index %1 (the history has %2, 0 to %3)")
                          .arg(index)
                          .arg(items.size())
                          .arg(items.size() - 1)));
        }
        history.copyToClipboard(items.at(index), [reply](bool copied) {
            reply(copied ? CommandResult {}
                         : CommandResult::failure(
                               QStringLiteral("the entry left the history before it was copied")));
        });
    };
    registry.add(std::move(copy));
}
