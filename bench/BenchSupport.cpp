#include "BenchSupport.h"

#include "clipboard/ClipboardHistoryModel.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QImageWriter>
#include <QTimer>
#include <QUuid>

namespace {

QString textFrom(std::uint64_t& state, const QString& alphabet, int length)
{
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i) {
        text.append(alphabet.at(static_cast<qsizetype>(
            BenchSupport::nextRandom(state) % std::uint64_t(alphabet.size()))));
    }
    return text;
}

} // namespace

std::uint64_t BenchSupport::nextRandom(std::uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

QString BenchSupport::randomText(std::uint64_t& state, int length)
{
    static const QString alphabet = QStringLiteral(
        "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 .,;:/\"\\\t\n"
        "あいうえおかきくけこ日本語の文章漢字クリップボード履歴");
    return textFrom(state, alphabet, length);
}

QString BenchSupport::japaneseText(std::uint64_t& state, int length)
{
    // One line break, one comma and four Latin letters in about a hundred characters.
    static const QString alphabet =
        QStringLiteral("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆ"
                       "よらりるれろわをん"
                       "いつもお世話になっております。ご確認のほどよろしくお願いいたします。"
                       "会議資料送付先住所電話番号請求書見積納期担当者様御中拝啓敬具"
                       "\n,abcd");
    return textFrom(state, alphabet, length);
}

QByteArray BenchSupport::encodePng(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray BenchSupport::noisyPng(std::uint64_t seed, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ (seed * 0x100000001B3ull);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = static_cast<int>(nextRandom(state) % 9);
            line[x] = qRgb((x / 5 + n + static_cast<int>(seed)) & 255, (y / 4 + n) & 255,
                ((x + y) / 8 + n / 2) & 255);
        }
    }
    return encodePng(image);
}

FixedPhraseFolderList BenchSupport::makePhraseStore(
    int folderCount, int phrasesPerFolder, bool withHidden)
{
    std::uint64_t state = 20260101;
    FixedPhraseFolderList folders;
    folders.reserve(folderCount);
    for (int f = 0; f < folderCount; ++f) {
        FixedPhraseFolder folder {QUuid::createUuid(), QStringLiteral("分類フォルダ %1").arg(f + 1),
            !withHidden || f % 7 != 0, {}};
        folder.phrases.reserve(phrasesPerFolder);
        for (int p = 0; p < phrasesPerFolder; ++p) {
            folder.phrases.append(FixedPhrase {QUuid::createUuid(), japaneseText(state, 10),
                japaneseText(state, 63 + static_cast<int>(nextRandom(state) % 5)),
                !withHidden || p % 5 != 0});
        }
        folders.append(std::move(folder));
    }
    return folders;
}

void BenchSupport::setMaximumHistoryLimits(MemoryDefaultsStore& defaults)
{
    defaults.set(ClipboardHistorySettingsKey::maxTextHistoryCount, qint64 {500});
    defaults.set(ClipboardHistorySettingsKey::maxURLHistoryCount, qint64 {500});
    defaults.set(ClipboardHistorySettingsKey::maxImageHistoryCount, qint64 {500});
}

bool BenchSupport::runEventLoopUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, &loop, [&loop, &done] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

qint64 BenchSupport::statusKiB(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray wanted(key);
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(wanted)) {
            return line.mid(wanted.size()).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}
