#include "CsvReader.h"

CsvReader::CsvReader(const QString& text) : m_text(text)
{
    start();
}

CsvReader::CsvReader(std::function<bool(QString& piece)> more) : m_more(std::move(more))
{
    start();
}

void CsvReader::start()
{
    // The first line chooses the separator: it is read whole first.
    while (m_text.indexOf('\n') < 0 && refill()) {
    }
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

bool CsvReader::refill()
{
    if (!m_more)
        return false;
    QString piece;
    while (m_more(piece)) {
        if (piece.isEmpty())
            continue;
        m_text = m_text.mid(m_pos) + piece;
        m_pos = 0;
        return true;
    }
    m_more = nullptr;
    return false;
}

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    m_error.clear();
    // Skip blank lines between records.
    for (;;) {
        if (m_pos >= m_text.size() && !refill())
            return false;
        const QChar c = m_text[m_pos];
        if (c != '\n' && c != '\r')
            break;
        if (c == '\n')
            ++m_line;
        ++m_pos;
    }
    m_recordLine = m_line;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (;;) {
        if (m_pos >= m_text.size() && !refill())
            break;
        if (!quoted) {
            // The plain characters of an unquoted field in one piece; the others one at a time.
            const QChar* data = m_text.constData();
            qsizetype end = m_pos;
            while (end < m_text.size() && data[end] != m_separator && data[end] != '\n' &&
                   data[end] != '\r' && data[end] != '"')
                ++end;
            if (end > m_pos) {
                field += QStringView(data + m_pos, end - m_pos);
                m_pos = end;
                continue;
            }
        }
        const QChar c = m_text[m_pos++];
        if (quoted) {
            if (c == '"') {
                if (m_pos >= m_text.size())
                    refill();
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
