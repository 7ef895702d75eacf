#pragma once

#include "MailAttachment.h"

// The advertising analysis over the mailing period as a fifth file of the report mail, when the
// mailing settings attach it (off until switched on).
class AnalysisAttachment : public MailAttachment
{
public:
    static constexpr const char* fileName = "analiz.htm";

    QStringList fileNames() const override;
    bool isOn(const MailingSettings& settings) const override;
    // The whole days from the start of the last `days` days to today.
    Outcome<void> write(DataEnv* env, const QString& days, const QDateTime& now,
                        const QString& dir) const override;
};
