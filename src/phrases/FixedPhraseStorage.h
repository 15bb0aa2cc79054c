#pragma once

// The phrase file "FixedPhrases.json": a compact JSON array of folder objects, keys in a fixed
// order ("id", "title", "isVisible", "phrases"; a phrase: "id", "title", "content",
// "isVisible"), "/" written as "\/", non-ASCII as UTF-8, no line feed at the end, "[]" for an
// empty store. Reading is strict: one wrong type, one missing or repeated key or one malformed
// UUID anywhere spoils the whole document (the caller then moves the file aside); an absent
// (or null) "isVisible" means visible and unknown keys are ignored.
//
// Stateless apart from the path, so the writer thread and the main thread may each hold a
// copy.

#include "FixedPhrase.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

class FixedPhraseStorage final
{
public:
    explicit FixedPhraseStorage(QString filePath);

    static QString fileName() { return QStringLiteral("FixedPhrases.json"); }

    // The store file.
    QString filePath() const { return m_filePath; }
    // The copy of the store an import keeps before it replaces the file.
    QString beforeImportPath() const { return m_filePath + QStringLiteral(".before-import"); }

    enum class LoadState
    {
        Missing,
        Loaded,
        Unreadable
    };
    struct LoadResult
    {
        LoadState state = LoadState::Missing;
        FixedPhraseFolderList folders;
    };
    LoadResult load() const;
    // Whether the file at path loads as a whole phrase store.
    static bool decodes(const QString& path);

    // Creates the folder (0700) and replaces the file atomically (0600).
    bool save(const FixedPhraseFolderList& folders, QString* error) const;

    // Keeps a copy of the current file's bytes as beforeImportPath() (a regular file, 0600,
    // written atomically), replacing an earlier copy. No file means nothing to keep.
    bool keepBeforeImport(QString* error) const;

    static QByteArray encode(const FixedPhraseFolderList& folders);
    static bool encode(const FixedPhraseFolderList& folders, QIODevice& device);
    static std::optional<FixedPhraseFolderList> decode(const QByteArray& bytes);

private:
    QString m_filePath;
};
