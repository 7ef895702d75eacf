#pragma once

#include "ImportEncoding.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class CsvReader;
class DataEnv;

// Loads calls from a CSV table in UTF-8 or Windows-1251 (header row naming Data, usluga, Istochnik,
// Zapis and optionally Vrem, in any order and letter case) in one transaction: a bad row stops the
// import and nothing is stored. Names are stored as ListNames gives them, and refused as it says.
class CallImporter
{
public:
    explicit CallImporter(DataEnv* env) : m_env(env) {}

    // What becomes of a name that neither reference list holds (letter case and blanks aside).
    enum class Unlisted
    {
        Keep,   // stored as the file writes it; the lists are not consulted
        Refuse, // the whole import is refused, naming them; listed names take the lists' spelling
        AddToLists // added to the lists first, in the order first met; then as Refuse
    };
    void setUnlisted(Unlisted rule) { m_unlisted = rule; }

    bool importFile(const QString& path,
                    ImportEncoding::Kind encoding = ImportEncoding::Kind::Auto);
    bool importText(const QString& text);

    int imported() const { return m_imported; }

    // A name in the file that neither reference list holds.
    struct UnknownName
    {
        QString listCommand; // "Uslugi" or "Istochnik"
        QString name;        // as stored (see ListNames), in its first spelling in the file
        int calls = 0;
    };
    // Those of the last import (refused or added to the lists), in the order first met; none
    // when the rule is Keep.
    QList<UnknownName> unknownNames() const { return m_unknown; }
    // "Нет в списках: …" naming them, as a sentence.
    static QString unlistedText(const QList<UnknownName>& names);
    // The encoding the last file was read in.
    ImportEncoding::Kind encodingUsed() const { return m_encoding; }
    // "строка N: причина" for a bad row, or the file's or the database's reason.
    QString errorText() const { return m_error; }
    // True when the failure came from the input rather than the database.
    bool badInput() const { return m_badInput; }

private:
    // The import over the text `open` reads from its start, each time it is called; at the end
    // of the text, `readError` tells why it ended early, empty when it did not.
    bool importFrom(const std::function<std::unique_ptr<CsvReader>()>& open,
                    const std::function<QString()>& readError);
    bool resolveNames(const QList<UnknownName>& names, QHash<QString, QString>& listed);

    DataEnv* m_env;
    Unlisted m_unlisted = Unlisted::Keep;
    int m_imported = 0;
    QList<UnknownName> m_unknown;
    ImportEncoding::Kind m_encoding = ImportEncoding::Kind::Utf8;
    QString m_error;
    bool m_badInput = false;
};
