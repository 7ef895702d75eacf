#pragma once

#include <QValidator>

// Guards the period box: only the digits 0 to 9 and the comma get in, typed or pasted. An
// edit that would bring in anything else is refused as a whole, so the box stays unchanged;
// deleting (backspace) always passes.
class PeriodValidator : public QValidator
{
    Q_OBJECT

public:
    explicit PeriodValidator(QObject* parent = nullptr);

    // True for "0" to "9" and ",".
    static bool admits(QChar c);

    State validate(QString& input, int& pos) const override;
};
