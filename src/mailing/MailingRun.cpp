#include "MailingRun.h"

#include "AppPaths.h"
#include "ReportBundle.h"

bool MailingRun::s_busy = false;
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

bool MailingRun::exportReports(const QString& days, const QDateTime& now)
{
    ReportBundle bundle(m_env);
    const bool ok = bundle.write(days, now, m_sendDir);
    m_error = bundle.errorText();
    return ok;
}

MailingRun::Result MailingRun::send(const QString& recipient, const QString& text)
{
    m_error.clear();
    if (s_busy) {
        m_error = QStringLiteral("Отправка отчетов уже идёт.");
        return Result::Busy;
    }
    s_busy = true;
    struct Release
    {
        ~Release() { s_busy = false; }
    } release;

    const AccountChoice choice = m_accountSource();
    if (!choice.ok) {
        m_error = choice.reason;
        return Result::NoAccount;
    }
    ReportMailer mailer;
    mailer.setPauseSeconds(m_pauseSeconds);
    if (!mailer.send(recipient, text, ReportBundle::filePaths(m_sendDir), choice.account)) {
        m_error = mailer.errorText();
        return Result::MailFailed;
    }
    return Result::Sent;
}
