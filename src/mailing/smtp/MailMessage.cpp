#include "MailMessage.h"

#include "MailAddress.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUuid>

namespace {

constexpr char kCrlf[] = "\r\n";
// "Subject: " plus one encoded word stays within 78 columns; every word is at most 75.
constexpr int kBytesPerWord = 42;

bool isLineBreakOrControl(char16_t u)
{
    return u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029;
}

QString flattenSubject(const QString& subject)
{
    QString out;
    out.reserve(subject.size());
    bool inBreak = false;
    for (QChar c : subject) {
        const char16_t u = c.unicode();
        const bool lineBreak = u == '\r' || u == '\n' || u == 0x85 || u == 0x2028 || u == 0x2029;
        if (lineBreak) {
            if (!inBreak)
                out += QLatin1Char(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        out += isLineBreakOrControl(u) ? QChar(QLatin1Char(' ')) : c;
    }
    return out;
}

QByteArray normalizeLineEnds(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    utf8.replace("\r\n", "\n");
    utf8.replace('\r', '\n');
    utf8.replace("\n", kCrlf);
    return utf8;
}

// The right side of a Message-ID: the sender's domain.
QByteArray idDomain(const QString& senderAddress)
{
    const QByteArray domain = MailAddress::domain(senderAddress);
    return domain.isEmpty() ? QByteArray("kalvent.invalid") : domain;
}

QByteArray uniqueToken()
{
    return QUuid::createUuid().toByteArray(QUuid::Id128);
}

QByteArray rfc2822Date(const QDateTime& moment)
{
    // Fixed English names and a numeric zone, whatever the locale.
    const QLocale c = QLocale::c();
    const int offset = moment.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return (c.toString(moment, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone).toLatin1();
}

bool isMimeToken(char c)
{
    // RFC 2231 attribute-char: a token character other than '*', '\'' and '%'.
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArray("!#$&+-.^_`|~").contains(c);
}

} // namespace

QByteArray MailMessage::newMessageId(const QString& senderAddress)
{
    return '<' + uniqueToken() + '.' + QByteArray::number(QDateTime::currentSecsSinceEpoch()) +
           '@' + idDomain(senderAddress) + '>';
}

QByteArray MailMessage::stableMessageId(const QByteArray& key, const QString& senderAddress)
{
    const QByteArray digest =
        QCryptographicHash::hash(key + '\n' + senderAddress.toUtf8(), QCryptographicHash::Sha256);
    return "<dispatch." + digest.toHex().left(32) + '@' + idDomain(senderAddress) + '>';
}

bool MailMessage::isValidMessageId(const QByteArray& id)
{
    if (id.size() < 5 || id.size() > 250 || !id.startsWith('<') || !id.endsWith('>'))
        return false;
    const QByteArray inner = id.mid(1, id.size() - 2);
    const qsizetype at = inner.indexOf('@');
    if (at <= 0 || at == inner.size() - 1 || inner.indexOf('@', at + 1) >= 0)
        return false;
    for (const char c : inner) {
        const uchar u = uchar(c);
        if (u <= ' ' || u >= 0x7f || c == '<' || c == '>' || c == '"' || c == '\\')
            return false;
    }
    return true;
}

Outcome<void> MailMessage::validateRecipient(const QString& address)
{
    return MailAddress::validate(address, MailAddress::Role::Recipient);
}

QByteArray MailMessage::encodeSubject(const QString& subject)
{
    const QString flat = flattenSubject(subject);
    if (flat.isEmpty())
        return QByteArray();
    QByteArray out;
    QByteArray chunk;
    auto flush = [&]() {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    // Split between characters, never inside one: every word decodes on its own.
    for (int i = 0; i < flat.size(); ++i) {
        int length = 1;
        if (flat.at(i).isHighSurrogate() && i + 1 < flat.size() && flat.at(i + 1).isLowSurrogate())
            length = 2;
        const QByteArray bytes = flat.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > kBytesPerWord)
            flush();
        chunk += bytes;
    }
    flush();
    return out;
}

QByteArray MailMessage::dispositionFor(const QString& fileName)
{
    bool plain = !fileName.isEmpty();
    for (QChar c : fileName)
        plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (plain) {
        QByteArray quoted = fileName.toLatin1();
        quoted.replace('\\', "\\\\");
        quoted.replace('"', "\\\"");
        return "attachment; filename=\"" + quoted + '"';
    }
    QByteArray encoded;
    for (char c : fileName.toUtf8()) {
        if (isMimeToken(c)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += QByteArray::number(uchar(c), 16).rightJustified(2, '0').toUpper();
        }
    }
    return "attachment;\r\n filename*=UTF-8''" + encoded;
}

QByteArray MailMessage::base64Lines(const QByteArray& data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += 76) {
        out += encoded.mid(i, 76);
        out += kCrlf;
    }
    return out;
}

bool MailMessage::compose(const QString& senderAddress, QByteArray* out, QString* why) const
{
    auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (const auto valid = MailAddress::validate(m_recipient, MailAddress::Role::Recipient); !valid)
        return fail(valid.errorText());
    if (const auto valid = MailAddress::validate(senderAddress, MailAddress::Role::Sender); !valid)
        return fail(valid.errorText());

    struct Attachment
    {
        QString name;
        QByteArray data;
    };
    auto read = [&](const QString& path, QByteArray* data) {
        QFile file(path);
        if (!QFileInfo(path).isFile()) {
            return fail(
                QStringLiteral("Не найден файл вложения «%1».").arg(MailAddress::printable(path)));
        }
        if (!file.open(QIODevice::ReadOnly)) {
            return fail(QStringLiteral("Не удалось прочитать файл вложения «%1»: %2")
                            .arg(MailAddress::printable(path), file.errorString()));
        }
        *data = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            return fail(QStringLiteral("Не удалось прочитать файл вложения «%1»: %2")
                            .arg(MailAddress::printable(path), file.errorString()));
        }
        return true;
    };
    QList<Attachment> files;
    for (const QString& path : m_attachments) {
        QByteArray data;
        if (!read(path, &data))
            return false;
        files.append({QFileInfo(path).fileName(), data});
    }
    QList<QByteArray> images;
    for (const InlineImage& image : m_inlineImages) {
        QByteArray data;
        if (!read(image.path, &data))
            return false;
        images << data;
    }

    const QByteArray boundary = "=_kalvent_" + uniqueToken();
    const QDateTime moment = m_date.isValid() ? m_date : QDateTime::currentDateTime();

    QByteArray text;
    text += "Date: " + rfc2822Date(moment) + kCrlf;
    const QByteArray messageId =
        isValidMessageId(m_messageId) ? m_messageId : newMessageId(senderAddress);
    text += "Message-ID: " + messageId + kCrlf;
    text += "From: <" + MailAddress::toAscii(senderAddress) + '>' + kCrlf;
    text += "To: <" + MailAddress::toAscii(m_recipient) + '>' + kCrlf;
    text += "Subject: " + encodeSubject(m_subject) + kCrlf;
    text += QByteArray("MIME-Version: 1.0") + kCrlf;
    text += "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + '"' + kCrlf;
    text += kCrlf;
    text += QByteArray("This is a multi-part message in MIME format.") + kCrlf;

    auto textPart = [&](const char* type, const QString& content) {
        text += QByteArray("Content-Type: ") + type + "; charset=UTF-8" + kCrlf;
        text += QByteArray("Content-Transfer-Encoding: base64") + kCrlf;
        text += kCrlf;
        text += base64Lines(normalizeLineEnds(content));
    };
    text += "--" + boundary + kCrlf;
    if (m_htmlBody.isEmpty()) {
        textPart("text/plain", m_body);
    } else {
        // Base64 never holds "=_", so the nested boundaries cannot occur in any part.
        const QByteArray alternative = boundary + "_alt";
        const QByteArray related = boundary + "_rel";
        text += "Content-Type: multipart/alternative;\r\n boundary=\"" + alternative + '"' + kCrlf;
        text += kCrlf;
        text += "--" + alternative + kCrlf;
        textPart("text/plain", m_body);
        text += "--" + alternative + kCrlf;
        if (m_inlineImages.isEmpty()) {
            textPart("text/html", m_htmlBody);
        } else {
            text += "Content-Type: multipart/related; type=\"text/html\";\r\n boundary=\"" +
                    related + '"' + kCrlf;
            text += kCrlf;
            text += "--" + related + kCrlf;
            textPart("text/html", m_htmlBody);
            for (int i = 0; i < m_inlineImages.size(); ++i) {
                const InlineImage& image = m_inlineImages.at(i);
                text += "--" + related + kCrlf;
                text += "Content-Type: " + image.mimeType + kCrlf;
                text += QByteArray("Content-Transfer-Encoding: base64") + kCrlf;
                text += "Content-ID: <" + image.contentId + '>' + kCrlf;
                const QByteArray disposition = dispositionFor(QFileInfo(image.path).fileName());
                text += "Content-Disposition: inline" + disposition.mid(disposition.indexOf(';')) +
                        kCrlf;
                text += kCrlf;
                text += base64Lines(images.at(i));
            }
            text += "--" + related + "--" + kCrlf;
        }
        text += "--" + alternative + "--" + kCrlf;
    }

    for (const Attachment& file : files) {
        const QString suffix = QFileInfo(file.name).suffix().toLower();
        const bool html = suffix == QLatin1String("htm") || suffix == QLatin1String("html");
        text += "--" + boundary + kCrlf;
        text += QByteArray("Content-Type: ") +
                (html ? "text/html; charset=UTF-8" : "application/octet-stream") + kCrlf;
        text += QByteArray("Content-Transfer-Encoding: base64") + kCrlf;
        text += "Content-Disposition: " + dispositionFor(file.name) + kCrlf;
        text += kCrlf;
        text += base64Lines(file.data);
    }
    text += "--" + boundary + "--" + kCrlf;
    *out = text;
    return true;
}
