#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One outgoing message: one recipient, a subject, a plain text body (with an HTML alternative
// and its inline images when set) and files attached in order.
class MailMessage
{
public:
    // A file shown inside the HTML body, which refers to it as "cid:<contentId>".
    struct InlineImage
    {
        QByteArray contentId; // without angle brackets: "chart@example.invalid"
        QByteArray mimeType;  // "image/png"
        QString path;
    };

    MailMessage() = default;

    QString recipient() const { return m_recipient; }
    void setRecipient(const QString& address) { m_recipient = address; }
    QString subject() const { return m_subject; }
    void setSubject(const QString& subject) { m_subject = subject; }
    QString body() const { return m_body; }
    void setBody(const QString& body) { m_body = body; }
    // An HTML alternative of the body; none when empty (the body alone, as text).
    QString htmlBody() const { return m_htmlBody; }
    void setHtmlBody(const QString& html) { m_htmlBody = html; }
    QList<InlineImage> inlineImages() const { return m_inlineImages; }
    void setInlineImages(const QList<InlineImage>& images) { m_inlineImages = images; }
    QStringList attachments() const { return m_attachments; }
    void setAttachments(const QStringList& paths) { m_attachments = paths; }
    void addAttachment(const QString& path) { m_attachments << path; }
    // The Date header; the current time when not set.
    QDateTime date() const { return m_date; }
    void setDate(const QDateTime& date) { m_date = date; }
    // The Message-ID header, angle brackets included; a new one at every compose when not set.
    // Every try of one mail carries the same, so a mail program shows a repeated copy once.
    QByteArray messageId() const { return m_messageId; }
    void setMessageId(const QByteArray& id) { m_messageId = id; }
    // <random token@the sender's domain>
    static QByteArray newMessageId(const QString& senderAddress);
    // One <left@right> of printable ASCII without blanks: safe as a header value.
    static bool isValidMessageId(const QByteArray& id);
    // The same Message-ID every time for the same `key` (one due dispatch): a dispatch killed
    // before it could record its mail sends it again under the ID of the first try.
    static QByteArray stableMessageId(const QByteArray& key, const QString& senderAddress);

    // Exactly one address local@domain; *why gets the reason for a refusal in Russian.
    static Outcome<void> validateRecipient(const QString& address);

    // The whole message as sent (CRLF line ends, ASCII only): headers, a text part (or, with an
    // HTML body, a multipart/alternative of the text and the HTML, the latter multipart/related
    // with its inline images) and one part per attachment. False with *why set when an address
    // is refused or an attachment or inline image cannot be read.
    bool compose(const QString& senderAddress, QByteArray* out, QString* why = nullptr) const;

    // The subject header value: RFC 2047 encoded words of at most 75 characters, folded.
    // Control characters and line breaks become spaces first.
    static QByteArray encodeSubject(const QString& subject);
    // The Content-Disposition header value for a file name (RFC 2231 when not plain ASCII).
    static QByteArray dispositionFor(const QString& fileName);
    // Base64 in lines of 76 characters, each ended with CRLF.
    static QByteArray base64Lines(const QByteArray& data);

private:
    QString m_recipient;
    QString m_subject;
    QString m_body;
    QString m_htmlBody;
    QList<InlineImage> m_inlineImages;
    QStringList m_attachments;
    QDateTime m_date;
    QByteArray m_messageId;
};
