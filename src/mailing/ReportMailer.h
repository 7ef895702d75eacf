#pragma once

#include "MailAccount.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Mails the exported reports: one message to one recipient with the reports attached in order.
// The transfer runs on a worker thread while the calling thread keeps processing events.
class ReportMailer
{
public:
    static constexpr double kDefaultPauseSeconds = 3.0;

    ReportMailer() = default;

    // The wait between the call and the sign-on.
    double pauseSeconds() const { return m_pauseSeconds; }
    void setPauseSeconds(double seconds) { m_pauseSeconds = seconds; }
    // The Message-ID of the next sends (see MailMessage::setMessageId); a new one each when
    // empty.
    void setMessageId(const QByteArray& id) { m_messageId = id; }
    // Runs the moment the server has accepted the message, on the transfer's thread, while
    // the calling thread waits: the place to record the delivery before anything else happens.
    void setAcceptedHook(std::function<void()> hook) { m_accepted = std::move(hook); }
    // The summary's files (DigestOption::fileNames order) the next sends make their body from,
    // the text following the mail text; none: the mail text alone is the body.
    void setDigestFiles(const QStringList& files) { m_digestFiles = files; }

    // Checks the recipient (a refused one sends nothing and is refused before the wait), waits,
    // signs on with the account, sends one message with text as subject and body and the
    // files attached in the given order, and signs off, also after a failure.
    // False with errorText() in the operator's words when nothing went out.
    bool send(const QString& recipient, const QString& text, const QStringList& attachments,
              const MailAccount& account);
    QString errorText() const { return m_errorText; }
    // The last failure needs a change (recipient, account) before a new try can succeed.
    bool failedForGood() const { return m_failedForGood; }

private:
    double m_pauseSeconds = kDefaultPauseSeconds;
    bool m_busy = false;
    QByteArray m_messageId;
    std::function<void()> m_accepted;
    QStringList m_digestFiles;
    QString m_errorText;
    bool m_failedForGood = false;
};
