#pragma once

#include <QString>

// A failure told to the operator: the reason in Russian words, then the system's own technical
// text on a line of its own (for whoever has to look into it).
namespace FailureText {

// The Russian words for a system error text (errno texts, SQLite and libcurl messages); empty
// when the text is not one of the known kinds.
QString russian(const QString& technical);

// "<what>: <reason in Russian>" and the technical text on a second line; a technical text of
// no known kind is given with a general reason.
QString compose(const QString& what, const QString& technical,
                const QString& generalReason = QStringLiteral("ошибка"));

} // namespace FailureText
