#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The text encodings a call table is read in: UTF-8 (with or without a byte-order mark) and
// Windows-1251, in which spreadsheet programs set to Russian save CSV. Bytes that are not text
// in the encoding are refused with their line; nothing is ever replaced by U+FFFD.
class ImportEncoding
{
public:
    enum class Kind
    {
        Auto, // UTF-8 when the bytes are valid UTF-8, else Windows-1251
        Utf8,
        Windows1251
    };

    // "utf-8" or "windows-1251" (any letter case, "cp1251" too); nothing for another name.
    static std::optional<Kind> fromName(const QString& name);
    static QString name(Kind kind);

    // Decodes the bytes; false (and errorText() "line N: ...") when they are not text in the
    // requested encoding, or in either encoding for Auto.
    bool decode(const QByteArray& bytes, Kind requested = Kind::Auto);
    QString text() const { return m_text; }
    Kind used() const { return m_used; }
    QString errorText() const { return m_error; }

    // The offset of the first byte that does not belong to valid UTF-8; -1 when all do.
    static qsizetype firstInvalidUtf8(const QByteArray& bytes);

private:
    bool fail(const QByteArray& bytes, qsizetype offset, const QString& reason);

    QString m_text;
    Kind m_used = Kind::Utf8;
    QString m_error;
};
