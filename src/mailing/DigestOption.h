#pragma once

#include "Outcome.h"

#include <QString>
#include <QStringList>

class MailMessage;

// The summary of the mailing period in the report mail's text (MailingSettings::digestKey): an
// HTML body with the chart inline, and the same as plain text. Off: the mail's body is the mail
// text alone.
//
// The summary is written with the reports into the reports folder as three files, mailed (and
// kept in the outbox) after the attachments; they make the mail's body, never attachments.
class DigestOption
{
public:
    // The chart's Content-ID, as the summary's HTML refers to it.
    static constexpr const char* chartContentId = "grafik@kalvent.invalid";

    // svodka.txt, svodka.htm, svodka.png: the text, the HTML fragment and the chart.
    static QStringList fileNames();
    static QStringList filePaths(const QString& dir);

    // Takes the summary's files out of a mail's files: what remains are the attachments.
    static QStringList takeDigestFiles(QStringList* files);

    // Sets the message's bodies from the summary's files (in fileNames() order) with
    // `mailText` as their first line; the reason when a file cannot be read.
    static Outcome<void> fillBody(MailMessage* message, const QString& mailText,
                                  const QStringList& files);

    // The mail's bodies: the stored mail text as the first line, then the summary.
    static QString plainBody(const QString& mailText, const QString& digestText);
    static QString htmlBody(const QString& mailText, const QString& digestHtml);
};
