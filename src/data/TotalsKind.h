#pragma once

// What the totals beside the calls (ItogDen, ItogMes) are kept by: the row kind Vid, whose
// key Kl is given with each value. The four reports read one kind each and are numbered alike.
struct TotalsKind
{
    enum Value
    {
        BySource = 1,          // Kl: the call's source key
        ByService = 2,         // Kl: the call's service key
        InternetByService = 3, // Kl: the service key of a call from the Internet
        ByDate = 4,            // Kl: 0
        ByHour = 5 // Kl: the weekday (1 Monday .. 7, 0: no date) * 100 + the hour (24: none)
    };
};
