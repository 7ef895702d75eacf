#pragma once

#include "MailAttachment.h"

#include <QList>
#include <memory>

// The parts of the report mail, in mailing order, as the program registered them.
class MailAttachments
{
public:
    using Part = std::shared_ptr<const MailAttachment>;

    static void set(const QList<Part>& parts);
    static const QList<Part>& all();
};
