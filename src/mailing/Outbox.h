#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Report mails that could not be delivered, kept on disk until a server accepts them. Each is a
// folder of its own holding copies of the mailed files and a description (mail.json). A mail
// is put in place whole (written under a dot name, then renamed), and removed only after the
// server took it.
class Outbox
{
public:
    struct Mail
    {
        QString id;
        QDateTime created;
        QString recipient;
        QString text;
        int tries = 0; // deliveries tried, the first one included
        QString lastError;
        bool forGood = false; // the last failure needs a change before a new try can succeed
        QDateTime nextTry;    // when a passing failure is tried again
        QString accountKey;   // the mail account of the last try
        QStringList files;    // the kept copies, in mail order
        QString messageId;    // the same at every try; empty in mails kept before there was one
    };

    explicit Outbox(const QString& dir);
    QString dir() const { return m_dir; }

    // Keeps a mail after its first failed delivery, with the Message-ID that try carried; the
    // files are copied as they are now.
    std::optional<Mail> keep(const QString& recipient, const QString& text,
                             const QStringList& files, const QString& error, bool forGood,
                             const QString& accountKey, const QDateTime& now,
                             const QString& messageId);
    // The kept mails, oldest first.
    QList<Mail> mails() const;
    std::optional<Mail> find(const QString& id) const;
    // Writes a mail's description again (after a try).
    bool record(const Mail& mail);
    bool drop(const QString& id);

    // After `tries` failed tries: 5, 10, 20 minutes, then hourly.
    static qint64 retryDelaySeconds(int tries);

    QString errorText() const { return m_error; }

private:
    std::optional<Mail> read(const QString& id) const;
    bool writeDescription(const QString& folder, const Mail& mail);

    QString m_dir;
    QString m_error;
};
