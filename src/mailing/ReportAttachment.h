#pragma once

#include "MailAttachments.h"

class ReportKind;

// One report of the catalogue over the mailing period, as an HTML file in the reports folder.
// Always mailed. The file is replaced only by a complete new one; the report's row set is
// closed after it.
class ReportAttachment : public MailAttachment
{
public:
    explicit ReportAttachment(const ReportKind& kind) : m_kind(kind) {}

    // One for every report, in catalogue order.
    static QList<MailAttachments::Part> all();

    QStringList fileNames() const override;
    bool isOn(const MailingSettings&) const override { return true; }
    Outcome<void> write(DataEnv* env, const QString& days, const QDateTime& now,
                        const QString& dir) const override;

private:
    const ReportKind& m_kind;
};
