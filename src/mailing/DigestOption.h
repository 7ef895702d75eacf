#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class DataEnv;
class MailMessage;
class SettingsStore;

// The mailing option that puts a summary of the mailing period into the report mail's text
// (MailDigest): an HTML body with the chart inline, and the same as plain text. Off until
// switched on: the mail's body is then the mail text alone. Stored beside the mailing
// settings, as "1" (on) or "0" (off).
//
// The summary is written with the reports into the reports folder as three files, mailed (and
// kept in the outbox) after the attachments; they make the mail's body, never attachments.
class DigestOption
{
public:
    static constexpr const char* optionKey = "svodka";

    static bool isOn(const SettingsStore& store);
    // False when the store could not be written.
    static bool setOn(SettingsStore& store, bool on);

    // svodka.txt, svodka.htm, svodka.png: the text, the HTML fragment and the chart.
    static QStringList fileNames();
    static QStringList filePaths(const QString& dir);

    // Writes the summary of the whole days from the start of the last `days` days (the text as
    // typed) to today into `dir`. False (and the reason, in words for the operator) when not
    // every file was written.
    static bool write(DataEnv* env, const QString& days, const QDateTime& now, const QString& dir,
                      QString* error);

    // Takes the summary's files out of a mail's files: what remains are the attachments.
    static QStringList takeDigestFiles(QStringList* files);

    // Sets the message's bodies from the summary's files (in fileNames() order) with
    // `mailText` as their first line. False (and the reason) when a file cannot be read.
    static bool fillBody(MailMessage* message, const QString& mailText, const QStringList& files,
                         QString* error);
};
