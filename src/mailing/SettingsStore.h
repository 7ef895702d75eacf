#pragma once

#include <QString>

// The per-user settings store of the mailing: application "ZQ", section "KV". Every value is a
// string; a key never written reads back as the empty string.
class SettingsStore
{
public:
    static constexpr const char* application = "ZQ";
    static constexpr const char* section = "KV";

    QString read(const QString& key) const;
    // Stores the value at once; false when the store could not be written, and then the file
    // is as it was before (never emptied or half-written).
    bool write(const QString& key, const QString& value);
    // Why the last write failed, in words for the operator (names the file).
    QString errorText() const { return m_error; }

    // Where the store keeps its values (a file on most platforms).
    static QString location();

private:
    QString m_error;
};
