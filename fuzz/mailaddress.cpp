// MailAddress over any text: a refusal always says why; an accepted address has a wire form
// that is plain ASCII, one mailbox with the reported domain, nothing that could end an SMTP
// command or a header, and that is itself accepted and unchanged by another conversion.
#include "MailAddress.h"
#include "FuzzSupport.h"

#include <algorithm>

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029;
}

bool isPlainWireText(const QByteArray& bytes)
{
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f || c == '<' || c == '>' || c == ',' || c == ';')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString address = FuzzSupport::text(data, size);

    const QString shown = MailAddress::printable(address);
    FUZZ_REQUIRE(shown.size() == address.size());
    FUZZ_REQUIRE(std::none_of(shown.begin(), shown.end(), isControl));

    // Never used on what validate() refuses, but must not fail on it either.
    const QByteArray ascii = MailAddress::toAscii(address);
    const QByteArray domain = MailAddress::domain(address);

    for (const auto role : {MailAddress::Role::Recipient, MailAddress::Role::Sender}) {
        if (const auto valid = MailAddress::validate(address, role); !valid) {
            FUZZ_REQUIRE(!valid.errorText().isEmpty());
            continue;
        }
        FUZZ_REQUIRE(isPlainWireText(ascii));
        FUZZ_REQUIRE(ascii.count('@') == 1);
        FUZZ_REQUIRE(!domain.isEmpty() && ascii.endsWith('@' + domain));
        FUZZ_REQUIRE(domain == domain.toLower());
        const QString wire = QString::fromLatin1(ascii);
        FUZZ_REQUIRE(MailAddress::validate(wire, role));
        FUZZ_REQUIRE(MailAddress::toAscii(wire) == ascii);
        FUZZ_REQUIRE(MailAddress::domain(wire) == domain);
    }
    return 0;
}
