// Period::parse over any text: it accepts only digits with at most one comma, gives a finite
// number of days within the limit, and a day moved by that period forward or back lands that
// many seconds (rounded) away in calendar days and time of day.
#include "Period.h"
#include "FuzzSupport.h"

#include <cmath>

namespace {

bool digitsWithOneComma(const QString& text)
{
    int digits = 0;
    int commas = 0;
    for (QChar c : text) {
        if (c.unicode() >= '0' && c.unicode() <= '9')
            ++digits;
        else if (c == QLatin1Char(','))
            ++commas;
        else
            return false;
    }
    return digits > 0 && commas <= 1;
}

qint64 secondsFrom(const QDate& day, const QDateTime& moment)
{
    return (moment.date().toJulianDay() - day.toJulianDay()) * 24 * 3600 +
           moment.time().msecsSinceStartOfDay() / 1000;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FuzzSupport::text(data, size);
    const std::optional<double> days = Period::parse(text);
    if (!days)
        return 0;
    FUZZ_REQUIRE(digitsWithOneComma(text.trimmed()));
    FUZZ_REQUIRE(std::isfinite(*days) && *days >= 0 && *days <= Period::maxDays);

    const double seconds = *days * 24 * 3600;
    for (const QDate& day : {QDate(2026, 12, 6), QDate(2024, 2, 29), QDate(1, 1, 1)}) {
        const QDateTime later = Period::after(day, *days);
        const QDateTime earlier = Period::before(day, *days);
        FUZZ_REQUIRE(later.isValid() && earlier.isValid());
        const qint64 forward = secondsFrom(day, later);
        FUZZ_REQUIRE(std::abs(double(forward) - seconds) <= 0.5 + 1e-6);
        FUZZ_REQUIRE(secondsFrom(day, earlier) == -forward);
    }
    return 0;
}
