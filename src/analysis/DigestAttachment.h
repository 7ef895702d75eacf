#pragma once

#include "MailAttachment.h"

// The summary of the mailing period (MailDigest) as the report mail's body, when the mailing
// settings carry it: its files (DigestOption::fileNames) are written from the by-date report
// and the advertising analysis.
class DigestAttachment : public MailAttachment
{
public:
    Role role() const override { return Role::Body; }
    QStringList fileNames() const override;
    bool isOn(const MailingSettings& settings) const override;
    Outcome<void> write(DataEnv* env, const QString& days, const QDateTime& now,
                        const QString& dir) const override;
};
