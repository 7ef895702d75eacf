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
    // Stores the value at once; false when the store could not be written.
    bool write(const QString& key, const QString& value);

    // Where the store keeps its values (a file on most platforms).
    static QString location();
};
