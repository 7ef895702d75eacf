#include "MailingRun.h"

#include "DataEnv.h"
#include "DigestOption.h"
#include "DispatchClaims.h"

#include "AppPaths.h"
#include "Clock.h"
#include "DispatchLock.h"
#include "MailAttachments.h"
#include "MailMessage.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>

double MailingRun::s_defaultPause = ReportMailer::kDefaultPauseSeconds;

MailingRun::MailingRun(DataEnv* env, const QString& sendDir)
    : m_env(env), m_sendDir(sendDir.isEmpty() ? AppPaths::sendDir() : sendDir),
      m_pauseSeconds(s_defaultPause)
{
}

MailingRun::AccountChoice MailingRun::storedAccount()
{
    AccountChoice choice;
    if (!choice.account.load() || !choice.account.isComplete()) {
        choice.reason = choice.account.errorText().isEmpty() ? choice.account.incompleteReason()
                                                             : choice.account.errorText();
        return choice;
    }
    choice.ok = true;
    return choice;
}

bool MailingRun::claimDispatch(const QString& due, const QString& recipient, bool* mine)
{
    DataEnv* env = m_env ? m_env : DataEnv::instance();
    DispatchClaims& claims = env->claims();
    const bool ok = claims.claim(due, recipient, mine);
    m_error = claims.errorText();
    return ok;
}

void MailingRun::setSettings(const MailingSettings& settings)
{
    m_settings = settings;
    m_files.reset();
}

const MailingSettings& MailingRun::settings()
{
    if (!m_settings)
        m_settings = MailingSettings::read(SettingsStore());
    return *m_settings;
}

const MailingRun::Files& MailingRun::files()
{
    if (m_files)
        return *m_files;
    Files files;
    const QDir dir(m_sendDir);
    for (const MailAttachments::Part& part : MailAttachments::all()) {
        if (!part->isOn(settings()))
            continue;
        QStringList& list =
            part->role() == MailAttachment::Role::Body ? files.body : files.attachments;
        for (const QString& name : part->fileNames())
            list << dir.filePath(name);
    }
    m_files = files;
    return *m_files;
}

bool MailingRun::exportReports(const QString& days, const QDateTime& now)
{
    m_error.clear();
    // The body's files after the attachments, as they are kept.
    for (const MailAttachment::Role role :
         {MailAttachment::Role::Attachment, MailAttachment::Role::Body})
        for (const MailAttachments::Part& part : MailAttachments::all())
            if (part->role() == role && part->isOn(settings()))
                if (const Outcome<void> written = part->write(m_env, days, now, m_sendDir);
                    !written) {
                    m_error = written.errorText();
                    return false;
                }
    return true;
}

MailingRun::Result MailingRun::send(const QString& recipient, const QString& text,
                                    const QString& dispatchKey)
{
    m_error.clear();
    const AccountChoice choice = m_accountSource();
    if (!choice.ok) {
        m_error = choice.reason;
        return Result::NoAccount;
    }
    // Made before the first try and kept with the mail: every later try carries the same.
    const QString sender = choice.account.senderAddress();
    const QByteArray messageId =
        dispatchKey.isEmpty()
            ? MailMessage::newMessageId(sender)
            : MailMessage::stableMessageId((dispatchKey + '\n' + recipient).toUtf8(), sender);
    ReportMailer mailer;
    mailer.setPauseSeconds(m_pauseSeconds);
    mailer.setMessageId(messageId);
    QStringList files = this->files().attachments;
    mailer.setDigestFiles(this->files().body);
    if (mailer.send(recipient, text, files, choice.account))
        return Result::Sent;
    // Kept after the attachments; a later delivery takes them back as the body.
    files << this->files().body;
    m_error = mailer.errorText();
    // An address that is no address was never a mail: nothing to keep.
    if (!MailMessage::validateRecipient(recipient))
        return Result::MailFailed;
    Outbox outbox(outboxDir());
    if (outbox.keep(recipient, text, files, m_error, mailer.failedForGood(),
                    accountKey(choice.account), Clock::now(), QString::fromLatin1(messageId)))
        m_error += mailer.failedForGood()
                       ? QStringLiteral("\nОтчеты сохранены и будут отправлены снова, когда "
                                        "изменятся почтовая учётная запись или адрес получателя.")
                       : QStringLiteral("\nОтчеты сохранены и будут отправлены снова "
                                        "автоматически.");
    else {
        m_error += QStringLiteral("\nСохранить отчеты для повторной отправки не удалось: ") +
                   outbox.errorText();
        return Result::NotKept;
    }
    return Result::MailFailed;
}

QString MailingRun::outboxDir() const
{
    return QFileInfo(QDir::cleanPath(m_sendDir)).dir().filePath(QStringLiteral("Outbox"));
}

QString MailingRun::accountKey(const MailAccount& account)
{
    QString key = QStringLiteral("%1:%2:%3:%4:%5")
                      .arg(account.host())
                      .arg(account.port())
                      .arg(int(account.security()))
                      .arg(account.login(), account.senderAddress());
    // Only where set, so that the keys of the accounts without them stay as they were.
    if (!account.caFile().isEmpty())
        key += QStringLiteral(":ca=") + account.caFile();
    if (account.security() == MailAccount::Security::None && account.allowPlaintext())
        key += QStringLiteral(":plaintext");
    return key;
}

MailingRun::Redelivery MailingRun::deliverKept(const QDateTime& now, bool byHand,
                                               const QString& recipient)
{
    Redelivery round;
    m_error.clear();
    Outbox outbox(outboxDir());
    const QList<Outbox::Mail> kept = outbox.mails();
    if (kept.isEmpty())
        return round;
    if (DispatchLock::isBusy()) {
        round.busy = true;
        return round;
    }
    const AccountChoice choice = storedAccount();
    const QString key = choice.ok ? accountKey(choice.account) : QString();
    auto readdressed = [&](const Outbox::Mail& mail) {
        return mail.forGood && !recipient.isEmpty() && recipient != mail.recipient;
    };
    QStringList due;
    for (const Outbox::Mail& mail : kept) {
        const bool changed = (choice.ok && key != mail.accountKey) || readdressed(mail);
        if (byHand || (mail.forGood ? changed : mail.nextTry <= now))
            due << mail.id;
    }
    if (due.isEmpty())
        return round;
    if (!choice.ok) {
        m_error = choice.reason;
        round.failed = int(due.size());
        return round;
    }

    DispatchLock lock;
    switch (lock.take()) {
    case DispatchLock::Result::Taken:
        break;
    case DispatchLock::Result::Busy:
        round.busy = true;
        return round;
    case DispatchLock::Result::Failed:
        m_error = lock.errorText();
        round.failed = int(due.size());
        return round;
    }
    for (const QString& id : due) {
        // Read again under the lock: another copy of the program may have delivered it.
        std::optional<Outbox::Mail> mail = outbox.find(id);
        if (!mail)
            continue;
        if (readdressed(*mail))
            mail->recipient = recipient;
        // A mail kept without a Message-ID gets one, stored before the try that first uses it.
        if (!MailMessage::isValidMessageId(mail->messageId.toLatin1())) {
            mail->messageId =
                QString::fromLatin1(MailMessage::newMessageId(choice.account.senderAddress()));
            if (!outbox.record(*mail))
                m_error = outbox.errorText();
        }
        QStringList attachments = mail->files;
        ReportMailer mailer;
        mailer.setPauseSeconds(0);
        mailer.setMessageId(mail->messageId.toLatin1());
        mailer.setDigestFiles(DigestOption::takeDigestFiles(&attachments));
        // Dropped the moment the server has taken it: a crash after that sends it no more.
        bool dropped = false;
        QString dropError;
        mailer.setAcceptedHook([&] {
            dropped = outbox.drop(id);
            dropError = outbox.errorText();
        });
        if (mailer.send(mail->recipient, mail->text, attachments, choice.account)) {
            if (!dropped && !outbox.drop(id))
                dropError = outbox.errorText();
            if (!dropError.isEmpty())
                m_error = dropError;
            ++round.delivered;
            continue;
        }
        const bool wasForGood = mail->forGood;
        ++mail->tries;
        mail->lastError = mailer.errorText();
        mail->forGood = mailer.failedForGood();
        mail->nextTry = now.addSecs(Outbox::retryDelaySeconds(mail->tries));
        mail->accountKey = key;
        if (!outbox.record(*mail))
            m_error = outbox.errorText();
        ++round.failed;
        if (mail->forGood && !wasForGood)
            round.nowForGood << *mail;
    }
    return round;
}
