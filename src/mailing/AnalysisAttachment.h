#pragma once

#include <QDateTime>
#include <QString>

class DataEnv;
class SettingsStore;

// The mailing option that attaches the advertising analysis over the mailing period to the
// reports as a fifth file. Off until switched on: the mail then holds the four reports alone.
// Stored beside the mailing settings, as "1" (on) or "0" (off).
class AnalysisAttachment
{
public:
    static constexpr const char* optionKey = "analiz";
    static constexpr const char* fileName = "analiz.htm";

    static bool isOn(const SettingsStore& store);
    // False when the store could not be written.
    static bool setOn(SettingsStore& store, bool on);

    // Writes the analysis of the whole days from the start of the last `days` days (the text
    // as typed) to today into `dir`. False (and the reason, in words for the operator) when no
    // file was written.
    static bool write(DataEnv* env, const QString& days, const QDateTime& now, const QString& dir,
                      QString* error);
};
