#include "ReportMailer.h"

#include "DigestOption.h"
#include "MailMessage.h"
#include "MailPause.h"
#include "SmtpClient.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <thread>

namespace {

struct Transfer
{
    bool sent = false;
    bool forGood = false;
    QString errorText;
};

// One whole session on the calling thread, with a client of its own.
Transfer transfer(const MailAccount& account, const MailMessage& message,
                  const std::function<void()>& accepted)
{
    Transfer outcome;
    SmtpClient client;
    if (!client.signOn(account)) {
        outcome.errorText = client.errorText();
        outcome.forGood = true;
        return outcome;
    }
    outcome.sent = client.send(message, accepted);
    outcome.errorText = client.errorText();
    outcome.forGood = client.failedForGood();
    client.signOff();
    return outcome;
}

// Runs the transfer on a worker thread; the calling thread processes events until it ends.
Transfer transferWhileProcessingEvents(const MailAccount& account, const MailMessage& message,
                                       const std::function<void()>& accepted)
{
    if (!QCoreApplication::instance())
        return transfer(account, message, accepted);

    Transfer outcome;
    QEventLoop loop;
    std::thread worker([&outcome, &loop, &accepted, account, message] {
        outcome = transfer(account, message, accepted);
        // Queued: runs in the loop's thread once it processes events.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // The loop also ends early when the application quits; the worker is waited for all
    // the same, since it works on this frame's data.
    loop.exec();
    worker.join();
    return outcome;
}

} // namespace

bool ReportMailer::send(const QString& recipient, const QString& text,
                        const QStringList& attachments, const MailAccount& account)
{
    m_errorText.clear();
    m_failedForGood = false;
    if (m_busy) {
        m_errorText = QStringLiteral("Отправка отчетов уже идёт.");
        return false;
    }
    if (const auto valid = MailMessage::validateRecipient(recipient); !valid) {
        m_errorText = valid.errorText();
        m_failedForGood = true;
        return false;
    }

    MailMessage message;
    message.setRecipient(recipient);
    message.setSubject(text);
    message.setBody(text);
    if (!m_digestFiles.isEmpty()) {
        const Outcome<void> filled = DigestOption::fillBody(&message, text, m_digestFiles);
        if (!filled) {
            m_errorText = filled.errorText();
            m_failedForGood = true;
            return false;
        }
    }

    m_busy = true;
    MailPause::pause(m_pauseSeconds);

    message.setAttachments(attachments);
    message.setMessageId(m_messageId);
    const Transfer outcome = transferWhileProcessingEvents(account, message, m_accepted);
    m_busy = false;

    m_errorText = outcome.sent ? QString() : outcome.errorText;
    m_failedForGood = !outcome.sent && outcome.forGood;
    return outcome.sent;
}
