// What reaches the command-line parsers from outside: a request frame on the instance's local
// socket, a reply frame read by the client, and the tokens of a command line (here the input
// cut at NUL bytes), parsed against every command the application registers.

#include "FuzzCheck.h"
#include "app/CommandRegistry.h"
#include "app/InstanceChannel.h"

#include <cstddef>
#include <cstdint>

namespace {

const CommandRegistry& registry()
{
    static const CommandRegistry* commands = [] {
        auto* created = new CommandRegistry;
        registerApplicationCommands(*created);
        return created;
    }();
    return *commands;
}

void parseTokens(const QStringList& tokens)
{
    QString error;
    const auto parsed = registry().parse(tokens, &error);
    FUZZ_CHECK(parsed.has_value() || !error.isEmpty());
    if (parsed && parsed->spec) {
        (void)registry().help(*parsed->spec);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const qint64 length = InstanceProtocol::requestFrameLength(bytes);
    FUZZ_CHECK(length >= -1 && length <= bytes.size());
    FUZZ_CHECK(length <= InstanceProtocol::maxRequestSize);
    if (const auto request = InstanceProtocol::decodeRequest(bytes)) {
        const QByteArray frame = InstanceProtocol::encodeRequest(*request);
        if (frame.size() <= InstanceProtocol::maxRequestSize) {
            FUZZ_CHECK(InstanceProtocol::decodeRequest(frame) == request);
        }
        parseTokens(request->arguments);
    }

    const qint64 replyLength = InstanceProtocol::replyFrameLength(bytes);
    FUZZ_CHECK(replyLength >= -1 && replyLength <= bytes.size());
    if (const auto reply = InstanceProtocol::decodeReply(bytes)) {
        FUZZ_CHECK(InstanceProtocol::encodeReply(*reply) == bytes);
    }

    QStringList tokens;
    for (const QByteArray& token : bytes.split('\0')) {
        tokens.append(QString::fromUtf8(token));
    }
    parseTokens(tokens);
    return 0;
}
