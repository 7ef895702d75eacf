#pragma once

#include "MailAccount.h"
#include "MailingSettings.h"
#include "Outbox.h"
#include "ReportMailer.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class DataEnv;

// One mailing of the reports, without windows: writes the parts of the mail (MailAttachments)
// over a period into the reports folder, then mails their files in one message to one
// recipient. The scheduled dispatch, "Отправить отчеты" and the command line all mail through
// here; each holds the DispatchLock while it does.
class MailingRun
{
public:
    enum class Result
    {
        Sent,
        MailFailed, // the mail itself failed, and is kept in the outbox (or was no mail)
        NotKept,    // the mail failed and its copy could not be kept: nothing is in the outbox
        NoAccount   // no usable mail account: nothing was tried
    };

    // Where the mail account comes from: the stored one (the command line), or the stored one
    // with a window that asks for it when none is stored (the program).
    struct AccountChoice
    {
        bool ok = false;
        MailAccount account;
        QString reason; // why there is none
    };
    using AccountSource = std::function<AccountChoice()>;
    static AccountChoice storedAccount();

    // env: the data environment (nullptr: the program-wide one); sendDir: the reports folder
    // (empty: the one beside the database).
    explicit MailingRun(DataEnv* env = nullptr, const QString& sendDir = QString());
    virtual ~MailingRun() = default;

    void setAccountSource(AccountSource source) { m_accountSource = std::move(source); }
    // The wait before the sign-on (ReportMailer::kDefaultPauseSeconds unless changed).
    void setPauseSeconds(double seconds) { m_pauseSeconds = seconds; }
    QString sendDir() const { return m_sendDir; }
    // The settings whose options choose the parts of the mail; read from the store the first
    // time they are needed unless given.
    void setSettings(const MailingSettings& settings);

    // Claims the dispatch due at `due` to `recipient` for this desk (see DispatchClaims::claim).
    virtual bool claimDispatch(const QString& due, const QString& recipient, bool* mine);
    // Writes the parts over the last `days` days (the text as typed) into the reports folder.
    virtual bool exportReports(const QString& days, const QDateTime& now);
    // Mails the parts' files, with `text` as subject and body. A mail that the server did not
    // take is kept in the outbox beside the reports folder, to be delivered later.
    // `dispatchKey` names the due dispatch (empty for a mail sent by hand): every try of it
    // carries the same Message-ID, also after the process was killed before it could keep it.
    virtual Result send(const QString& recipient, const QString& text,
                        const QString& dispatchKey = QString());

    // What one round of delivering the kept mails did.
    struct Redelivery
    {
        int delivered = 0;
        int failed = 0;
        bool busy = false;              // another mailing holds the lock: nothing was tried
        QList<Outbox::Mail> nowForGood; // failed for good at this try, after passing failures
    };
    // Delivers the kept mails that are due: a passing failure once its retry time has come, a
    // failure for good once the mail account or `recipient` (the stored one) has changed, and
    // every kept mail when `byHand`. Uses the stored mail account; never asks for one. Each
    // mail goes once: the round takes the dispatch lock.
    Redelivery deliverKept(const QDateTime& now, bool byHand, const QString& recipient = {});
    QString outboxDir() const;
    // Names a mail account for the outbox: a change of server, login or sender retries the
    // mails that failed for good.
    static QString accountKey(const MailAccount& account);

    // Why the last step failed, in words for the operator.
    QString errorText() const { return m_error; }

    // The wait new runs start with (tests shorten it).
    static void setDefaultPauseSeconds(double seconds) { s_defaultPause = seconds; }

protected:
    QString m_error;

private:
    // The files of the parts that are on, as attachments and as the body.
    struct Files
    {
        QStringList attachments;
        QStringList body;
    };
    const MailingSettings& settings();
    const Files& files();

    DataEnv* m_env;
    QString m_sendDir;
    AccountSource m_accountSource = storedAccount;
    double m_pauseSeconds;
    std::optional<MailingSettings> m_settings;
    std::optional<Files> m_files;

    static double s_defaultPause;
};
