#include "PeriodValidator.h"

PeriodValidator::PeriodValidator(QObject* parent) : QValidator(parent) {}

bool PeriodValidator::admits(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(',');
}

QValidator::State PeriodValidator::validate(QString& input, int& pos) const
{
    Q_UNUSED(pos)
    for (QChar c : std::as_const(input))
        if (!admits(c))
            return Invalid;
    return Acceptable;
}
