#pragma once

#include "ImportEncoding.h"

#include <QString>

class DataEnv;

// Loads calls from a CSV table in UTF-8 or Windows-1251 (header row naming Data, usluga, Istochnik,
// Zapis and optionally Vrem, in any order and letter case) in one transaction: a bad row stops the
// import and nothing is stored.
class CallImporter
{
public:
    explicit CallImporter(DataEnv* env) : m_env(env) {}

    bool importFile(const QString& path,
                    ImportEncoding::Kind encoding = ImportEncoding::Kind::Auto);
    bool importText(const QString& text);

    int imported() const { return m_imported; }
    // The encoding the last file was read in.
    ImportEncoding::Kind encodingUsed() const { return m_encoding; }
    // "line N: reason" for a bad row, or the file's or the database's reason.
    QString errorText() const { return m_error; }
    // True when the failure came from the input rather than the database.
    bool badInput() const { return m_badInput; }

private:
    DataEnv* m_env;
    int m_imported = 0;
    ImportEncoding::Kind m_encoding = ImportEncoding::Kind::Utf8;
    QString m_error;
    bool m_badInput = false;
};
