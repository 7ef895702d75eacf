#pragma once

#include "ImportEncoding.h"

#include <QList>
#include <QString>

class DataEnv;

// Loads calls from a CSV table in UTF-8 or Windows-1251 (header row naming Data, usluga, Istochnik,
// Zapis and optionally Vrem, in any order and letter case) in one transaction: a bad row stops the
// import and nothing is stored. Names are stored as ListNames gives them, and refused as it says.
class CallImporter
{
public:
    explicit CallImporter(DataEnv* env) : m_env(env) {}

    bool importFile(const QString& path,
                    ImportEncoding::Kind encoding = ImportEncoding::Kind::Auto);
    bool importText(const QString& text);

    int imported() const { return m_imported; }

    // A name in the imported calls that neither reference list holds (letter case aside):
    // such calls count per date but in no report per source or per service.
    struct UnknownName
    {
        QString listCommand; // "Uslugi" or "Istochnik"
        QString name;        // as stored (see ListNames), in its first spelling in the file
        int calls = 0;
    };
    // The unknown names of the last import, in the order first met.
    QList<UnknownName> unknownNames() const;
    // Adds them to their lists. False (and errorText()) when a list could not be written.
    bool addUnknownNames();
    // The encoding the last file was read in.
    ImportEncoding::Kind encodingUsed() const { return m_encoding; }
    // "line N: reason" for a bad row, or the file's or the database's reason.
    QString errorText() const { return m_error; }
    // True when the failure came from the input rather than the database.
    bool badInput() const { return m_badInput; }

private:
    DataEnv* m_env;
    int m_imported = 0;
    QList<UnknownName> m_names; // every name imported, with its calls
    ImportEncoding::Kind m_encoding = ImportEncoding::Kind::Utf8;
    QString m_error;
    bool m_badInput = false;
};
