#include "MailAttachments.h"

namespace {
QList<MailAttachments::Part>& registered()
{
    static QList<MailAttachments::Part> parts;
    return parts;
}
} // namespace

void MailAttachments::set(const QList<Part>& parts)
{
    registered() = parts;
}

const QList<MailAttachments::Part>& MailAttachments::all()
{
    return registered();
}
