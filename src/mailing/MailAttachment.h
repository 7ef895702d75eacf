#pragma once

#include "Outcome.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class DataEnv;
class MailingSettings;

// One part of the report mail: files written into the reports folder before the mail goes,
// then mailed as attachments, or made into the mail's body. The reports, the analysis and the
// summary each provide one; the programs register them with MailAttachments.
class MailAttachment
{
public:
    enum class Role
    {
        Attachment,
        Body // the files make the mail's text (see DigestOption), never attachments
    };

    virtual ~MailAttachment() = default;

    virtual Role role() const { return Role::Attachment; }
    // The files it writes, by name, in the order they are mailed.
    virtual QStringList fileNames() const = 0;
    // Whether the mail carries it with these settings.
    virtual bool isOn(const MailingSettings& settings) const = 0;
    // Writes the files over the last `days` days (the text as typed) up to `now` into `dir`.
    // A failure (with the reason, in words for the operator) when not every file was written.
    virtual Outcome<void> write(DataEnv* env, const QString& days, const QDateTime& now,
                                const QString& dir) const = 0;
};
