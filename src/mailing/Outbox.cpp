#include "Outbox.h"

#include "DiskSpace.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {

const QString descriptionName = QStringLiteral("mail.json");

QString isoText(const QDateTime& moment)
{
    return moment.isValid() ? moment.toString(Qt::ISODate) : QString();
}

} // namespace

Outbox::Outbox(const QString& dir) : m_dir(dir) {}

qint64 Outbox::retryDelaySeconds(int tries)
{
    static const qint64 steps[] = {5 * 60, 10 * 60, 20 * 60};
    return tries >= 1 && tries <= 3 ? steps[tries - 1] : 60 * 60;
}

bool Outbox::writeDescription(const QString& folder, const Mail& mail)
{
    QJsonArray files;
    for (const QString& file : mail.files)
        files << QFileInfo(file).fileName();
    const QJsonObject description{
        {"created", isoText(mail.created)},
        {"recipient", mail.recipient},
        {"text", mail.text},
        {"tries", mail.tries},
        {"lastError", mail.lastError},
        {"forGood", mail.forGood},
        {"nextTry", isoText(mail.nextTry)},
        {"accountKey", mail.accountKey},
        {"files", files},
        {"messageId", mail.messageId},
    };
    const Outcome<void> written = SafeFile::write(QDir(folder).filePath(descriptionName),
                                                  QJsonDocument(description).toJson());
    m_error = written.errorText();
    return written.ok();
}

std::optional<Outbox::Mail> Outbox::keep(const QString& recipient, const QString& text,
                                         const QStringList& files, const QString& error,
                                         bool forGood, const QString& accountKey,
                                         const QDateTime& now, const QString& messageId)
{
    m_error.clear();
    Mail mail;
    mail.id =
        now.toString("yyyyMMdd-HHmmss") + '-' +
        QString::number(QRandomGenerator::global()->bounded(0x10000), 16).rightJustified(4, '0');
    mail.created = now;
    mail.recipient = recipient;
    mail.text = text;
    mail.tries = 1;
    mail.lastError = error;
    mail.forGood = forGood;
    mail.nextTry = now.addSecs(retryDelaySeconds(1));
    mail.accountKey = accountKey;
    mail.messageId = messageId;

    const QDir outbox(m_dir);
    const QString staging = outbox.filePath('.' + mail.id);
    const QString target = outbox.filePath(mail.id);
    auto fail = [&](const QString& reason) {
        m_error = reason;
        SafeFile::removeFolder(staging);
        return std::optional<Mail>();
    };
    qint64 size = 0;
    for (const QString& file : files)
        size += QFileInfo(file).size();
    for (const QString& folder : {m_dir, staging}) {
        const Outcome<void> made = SafeFile::ensureFolder(folder);
        if (!made)
            return fail(made.errorText());
    }
    const Outcome<void> space = DiskSpace::check(m_dir, size);
    if (!space)
        return fail(QStringLiteral("Отчеты не сохранены: ") + space.errorText());
    // Every copy and the description are complete on disk before the entry gets its name.
    for (const QString& file : files) {
        const QString copy = QDir(staging).filePath(QFileInfo(file).fileName());
        const Outcome<void> copied = SafeFile::copy(file, copy);
        if (!copied)
            return fail(copied.errorText());
        mail.files << QDir(target).filePath(QFileInfo(file).fileName());
    }
    if (!writeDescription(staging, mail))
        return fail(m_error);
    if (!QDir().rename(staging, target))
        return fail(
            QStringLiteral("Не удалось переименовать %1").arg(QDir::toNativeSeparators(staging)));
    SafeFile::syncFolder(m_dir);
    return mail;
}

std::optional<Outbox::Mail> Outbox::read(const QString& id) const
{
    // An entry is a real folder: a link put in its place is no mail of ours.
    if (QFileInfo(QDir(m_dir).filePath(id)).isSymLink())
        return std::nullopt;
    const QDir folder(QDir(m_dir).filePath(id));
    QFile file(folder.filePath(descriptionName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject d = QJsonDocument::fromJson(file.readAll()).object();
    if (d.isEmpty())
        return std::nullopt;
    Mail mail;
    mail.id = id;
    mail.created = QDateTime::fromString(d.value("created").toString(), Qt::ISODate);
    mail.recipient = d.value("recipient").toString();
    mail.text = d.value("text").toString();
    mail.tries = d.value("tries").toInt();
    mail.lastError = d.value("lastError").toString();
    mail.forGood = d.value("forGood").toBool();
    mail.nextTry = QDateTime::fromString(d.value("nextTry").toString(), Qt::ISODate);
    mail.accountKey = d.value("accountKey").toString();
    mail.messageId = d.value("messageId").toString();
    for (const auto& name : d.value("files").toArray()) {
        const QString fileName = QFileInfo(name.toString()).fileName(); // never outside
        if (!fileName.isEmpty() && !QFileInfo(folder.filePath(fileName)).isSymLink())
            mail.files << folder.filePath(fileName);
    }
    return mail;
}

QList<Outbox::Mail> Outbox::mails() const
{
    QList<Mail> result;
    if (QFileInfo(m_dir).isSymLink())
        return result;
    const QStringList ids =
        QDir(m_dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& id : ids)
        if (std::optional<Mail> mail = read(id))
            result << *mail;
    return result;
}

std::optional<Outbox::Mail> Outbox::find(const QString& id) const
{
    if (id.isEmpty() || id.startsWith('.') || id.contains('/') || id.contains('\\'))
        return std::nullopt;
    return read(id);
}

bool Outbox::record(const Mail& mail)
{
    m_error.clear();
    return writeDescription(QDir(m_dir).filePath(mail.id), mail);
}

bool Outbox::drop(const QString& id)
{
    m_error.clear();
    if (!find(id)) {
        m_error = QStringLiteral("В папке неотправленных писем нет письма %1").arg(id);
        return false;
    }
    const Outcome<void> removed = QFileInfo(m_dir).isSymLink()
                                      ? Outcome<void>::failure(QString())
                                      : SafeFile::removeFolder(QDir(m_dir).filePath(id));
    if (!removed) {
        m_error = QStringLiteral("Не удалось удалить письмо %1. %2").arg(id, removed.errorText());
        return false;
    }
    return true;
}
