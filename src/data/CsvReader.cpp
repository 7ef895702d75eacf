#include "CsvReader.h"

CsvReader::CsvReader(const QString& text) : m_text(text)
{
    if (m_text.startsWith(QChar(0xFEFF)))
        m_pos = 1;
    const qsizetype end = m_text.indexOf('\n', m_pos);
    const QStringView first = QStringView(m_text).mid(m_pos, end < 0 ? -1 : end - m_pos);
    int best = -1;
    for (QChar candidate : {QChar(','), QChar(';'), QChar('\t')}) {
        const int count = int(first.count(candidate));
        if (count > best) {
            best = count;
            m_separator = candidate;
        }
    }
}

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    m_error.clear();
    // Skip blank lines between records.
    while (m_pos < m_text.size() && (m_text[m_pos] == '\n' || m_text[m_pos] == '\r')) {
        if (m_text[m_pos] == '\n')
            ++m_line;
        ++m_pos;
    }
    if (m_pos >= m_text.size())
        return false;
    m_recordLine = m_line;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos++];
        if (quoted) {
            if (c == '"') {
                if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                    field += '"';
                    ++m_pos;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n')
                    ++m_line;
                field += c;
            }
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == m_separator) {
            fields << field;
            field.clear();
            wasQuoted = false;
        } else if (c == '\n') {
            ++m_line;
            break;
        } else if (c != '\r') {
            field += c;
        }
    }
    if (quoted)
        m_error = QStringLiteral("поле в кавычках не закрыто");
    fields << field;
    return true;
}
