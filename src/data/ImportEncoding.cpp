#include "ImportEncoding.h"

#include <QIODevice>
#include <algorithm>

namespace {

// Windows-1251 from 0x80 to 0xBF; 0x98 is not a character. From 0xC0 on: А..я in order.
constexpr char16_t cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

const QByteArray utf8Bom("\xEF\xBB\xBF");

} // namespace

std::optional<ImportEncoding::Kind> ImportEncoding::fromName(const QString& name)
{
    const QString n = name.trimmed().toLower();
    if (n == "utf-8" || n == "utf8")
        return Kind::Utf8;
    if (n == "windows-1251" || n == "cp1251")
        return Kind::Windows1251;
    return std::nullopt;
}

QString ImportEncoding::name(Kind kind)
{
    switch (kind) {
    case Kind::Utf8:
        return QStringLiteral("utf-8");
    case Kind::Windows1251:
        return QStringLiteral("windows-1251");
    case Kind::Auto:
        break;
    }
    return QStringLiteral("auto");
}

qsizetype ImportEncoding::firstInvalidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // no overlong forms
            if (c == 0xED)
                high = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            if (c == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + length > size || p[i + 1] < low || p[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
        i += length;
    }
    return -1;
}

bool ImportEncoding::fail(const QByteArray& bytes, qsizetype offset, const QString& reason)
{
    const int line = int(bytes.left(offset).count('\n')) + 1;
    m_error = QStringLiteral("строка %1: %2").arg(line).arg(reason);
    m_text.clear();
    return false;
}

bool ImportEncoding::decode(const QByteArray& bytes, Kind requested)
{
    m_error.clear();
    m_text.clear();
    const qsizetype badUtf8 = firstInvalidUtf8(bytes);
    if (requested == Kind::Utf8 || (requested == Kind::Auto && badUtf8 < 0)) {
        if (badUtf8 >= 0)
            return fail(bytes, badUtf8, QStringLiteral("байты не являются текстом UTF-8"));
        const QByteArray body = bytes.startsWith(utf8Bom) ? bytes.mid(utf8Bom.size()) : bytes;
        const qsizetype replacement = body.indexOf("\xEF\xBF\xBD");
        if (replacement >= 0)
            return fail(body, replacement,
                        QStringLiteral("в тексте есть U+FFFD, знак, потерянный раньше"));
        m_text = QString::fromUtf8(body);
        m_used = Kind::Utf8;
        return true;
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes.at(i));
        if (c < 0x80) {
            out[i] = QChar(c);
        } else if (c >= 0xC0) {
            out[i] = QChar(char16_t(0x0410 + (c - 0xC0)));
        } else if (cp1251High[c - 0x80] != 0) {
            out[i] = QChar(cp1251High[c - 0x80]);
        } else {
            return fail(bytes, i,
                        requested == Kind::Auto
                            ? QStringLiteral("байты не являются текстом ни UTF-8, ни Windows-1251")
                            : QStringLiteral("байты не являются текстом Windows-1251"));
        }
    }
    m_text = text;
    m_used = Kind::Windows1251;
    return true;
}

bool ImportEncoding::check(QIODevice& device, Kind requested)
{
    m_error.clear();
    m_text.clear();
    QByteArray carry;    // the bytes of a UTF-8 character the last piece cut
    int line = 1;        // the line the unchecked UTF-8 bytes start on
    int badUtf8Line = 0; // the line of the first byte that is not UTF-8, of the first U+FFFD
    int replacementLine = 0;
    int rawLine = 1; // the same for the bytes read as Windows-1251
    int bad1251Line = 0;
    bool first = true;
    for (;;) {
        QByteArray piece;
        if (!readPiece(device, piece)) {
            m_error = device.errorString();
            return false;
        }
        const bool atEnd = piece.isEmpty();
        if (!bad1251Line) {
            const qsizetype bad = piece.indexOf('\x98');
            if (bad >= 0)
                bad1251Line = rawLine + int(piece.left(bad).count('\n'));
            rawLine += int(piece.count('\n'));
        }
        if (!badUtf8Line) {
            QByteArray bytes = carry + piece;
            carry.clear();
            if (first && bytes.startsWith(utf8Bom))
                bytes.remove(0, utf8Bom.size());
            first = false;
            qsizetype bad = firstInvalidUtf8(bytes);
            // A character cut by the end of the piece is checked whole with the next one.
            if (bad >= 0 && !atEnd && bad > bytes.size() - 4) {
                carry = bytes.mid(bad);
                bytes.truncate(bad);
                bad = -1;
            }
            if (bad >= 0) {
                badUtf8Line = line + int(bytes.left(bad).count('\n'));
                bytes.truncate(bad);
            }
            const qsizetype replacement = bytes.indexOf("\xEF\xBF\xBD");
            if (!replacementLine && replacement >= 0)
                replacementLine = line + int(bytes.left(replacement).count('\n'));
            line += int(bytes.count('\n'));
        }
        if (atEnd)
            break;
    }
    if (requested == Kind::Utf8 || (requested == Kind::Auto && !badUtf8Line)) {
        const auto fault = [&](int at, const QString& reason) {
            m_error = QStringLiteral("строка %1: %2").arg(at).arg(reason);
            return false;
        };
        if (badUtf8Line)
            return fault(badUtf8Line, QStringLiteral("байты не являются текстом UTF-8"));
        if (replacementLine)
            return fault(replacementLine,
                         QStringLiteral("в тексте есть U+FFFD, знак, потерянный раньше"));
        m_used = Kind::Utf8;
    } else {
        if (bad1251Line) {
            m_error =
                QStringLiteral("строка %1: %2")
                    .arg(bad1251Line)
                    .arg(requested == Kind::Auto
                             ? QStringLiteral("байты не являются текстом ни UTF-8, ни Windows-1251")
                             : QStringLiteral("байты не являются текстом Windows-1251"));
            return false;
        }
        m_used = Kind::Windows1251;
    }
    restart();
    return true;
}

void ImportEncoding::restart()
{
    m_utf8 = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    m_atStart = true;
}

QString ImportEncoding::decodeNext(const QByteArray& bytes)
{
    if (m_used == Kind::Utf8) {
        QByteArrayView body(bytes);
        if (m_atStart && body.startsWith(utf8Bom))
            body = body.sliced(utf8Bom.size());
        m_atStart = false;
        return m_utf8.decode(body);
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes.at(i));
        out[i] = c < 0x80    ? QChar(c)
                 : c >= 0xC0 ? QChar(char16_t(0x0410 + (c - 0xC0)))
                             : QChar(cp1251High[c - 0x80]);
    }
    return text;
}

bool ImportEncoding::readPiece(QIODevice& device, QByteArray& piece)
{
    constexpr qint64 pieceSize = 4 << 20;
    piece.resize(pieceSize);
    const qint64 read = device.read(piece.data(), pieceSize);
    piece.resize(std::max<qint64>(read, 0));
    return read >= 0;
}
