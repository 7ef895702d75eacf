#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <optional>

class QIODevice;

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

    // The same for a file too long to hold: reads the device to its end in pieces, choosing
    // the encoding and checking the bytes as decode() does, and keeps none of them.
    bool check(QIODevice& device, Kind requested = Kind::Auto);
    // Then the text of the device's bytes from its start, piece by piece, in the encoding
    // check() chose; a character cut at the end of a piece is finished by the next one.
    void restart();
    QString decodeNext(const QByteArray& bytes);
    // The next piece of a few megabytes, empty at the end; false when the device fails.
    static bool readPiece(QIODevice& device, QByteArray& piece);

    Kind used() const { return m_used; }
    QString errorText() const { return m_error; }

    // The offset of the first byte that does not belong to valid UTF-8; -1 when all do.
    static qsizetype firstInvalidUtf8(const QByteArray& bytes);

private:
    bool fail(const QByteArray& bytes, qsizetype offset, const QString& reason);

    QString m_text;
    QStringDecoder m_utf8;
    bool m_atStart = true;
    Kind m_used = Kind::Utf8;
    QString m_error;
};
