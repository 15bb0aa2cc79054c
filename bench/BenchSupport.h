#pragma once

// Data and probes the benchmarks share: reproducible random texts and images, a phrase store of
// a given size, the history limits at their maximum, a main event loop run until a condition
// holds, and the process's memory figures.

#include "phrases/FixedPhrase.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

class MemoryDefaultsStore;

namespace BenchSupport {

// xorshift64: the same sequence on every run.
std::uint64_t nextRandom(std::uint64_t& state);
// Latin letters, digits, punctuation, tabs, line breaks and Japanese.
QString randomText(std::uint64_t& state, int length);
// Mostly Japanese, as business phrases are, with a few Latin letters, commas and line breaks.
QString japaneseText(std::uint64_t& state, int length);

QByteArray encodePng(const QImage& image, int quality = -1);
// Gradients with noise of amplitude 9, which keeps the PNG from compressing away: 1280 x 800
// gives about 1 MiB, like a busy screenshot.
QByteArray noisyPng(std::uint64_t seed, int width = 1280, int height = 800);

// folderCount folders of phrasesPerFolder phrases (titles of 10 characters, contents of about
// 65); every seventh folder and every fifth phrase hidden when withHidden.
FixedPhraseFolderList makePhraseStore(int folderCount, int phrasesPerFolder, bool withHidden);

// 500 per kind, the largest history.
void setMaximumHistoryLimits(MemoryDefaultsStore& defaults);

// Runs the main event loop (blocking in poll, as the application does) until done() holds or
// timeoutMs has passed; returns done().
bool runEventLoopUntil(const std::function<bool()>& done, int timeoutMs);

// A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), -1 when unreadable.
qint64 statusKiB(const char* key);

} // namespace BenchSupport
