// world copy and world copy-image: another application of the simulated world copies, so that
// capture can be tried where no other application can reach the simulated clipboard. Only
// `norvale --simulate` knows these commands.

#include "AppCommandContext.h"
#include "CommandRegistry.h"
#include "SimulatedWorld.h"
#include "platform/sim/SimPasteboard.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>

namespace {

// Puts the contents on the simulated clipboard as a foreign copy, announced as the desktop's
// clipboard announces one.
void copy(const AppCommandContext& context, const QList<QPair<QString, QByteArray>>& contents,
    const CommandReply& reply)
{
    context.simulatedPasteboard->setContents(contents);
    context.simulatedPasteboard->notifyChanged();
    reply(CommandResult::output({}));
}

} // namespace

void SimulatedWorld::registerCommands(CommandRegistry& registry)
{
    CommandSpec text;
    text.words = QStringList {QStringLiteral("world"), QStringLiteral("copy")};
    text.summary = QStringLiteral("another application of the simulated world copies <text>");
    text.arguments = {{QStringLiteral("text"), QStringLiteral("what it copies")}};
    text.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                          const CommandReply& reply) {
        copy(context, {{PasteboardType::string, invocation.arguments.first().toUtf8()}}, reply);
    };
    registry.add(std::move(text));

    CommandSpec image;
    image.words = QStringList {QStringLiteral("world"), QStringLiteral("copy-image")};
    image.summary =
        QStringLiteral("another application of the simulated world copies the image in <file>");
    image.arguments = {{QStringLiteral("file"), QStringLiteral("an image file (PNG, JPEG, ...)")}};
    image.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                           const CommandReply& reply) {
        const QString path =
            QDir(invocation.workingDirectory).absoluteFilePath(invocation.arguments.first());
        QImageReader reader(path);
        const QImage picture = reader.read();
        if (picture.isNull()) {
            return reply(CommandResult::failure(
                QStringLiteral("cannot read the image %1: %2").arg(path, reader.errorString())));
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        copy(context, {{PasteboardType::png, png}}, reply);
    };
    registry.add(std::move(image));
}
