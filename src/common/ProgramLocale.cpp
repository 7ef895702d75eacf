#include "ProgramLocale.h"

const QLocale& ProgramLocale::locale()
{
    static const QLocale russian(QLocale::Russian, QLocale::Russia);
    return russian;
}
