// MailAccount::load over any file: a refusal says why; an account it loads is saved and loaded
// again unchanged, whatever its values hold (line breaks, backslashes, control characters).
#include "MailAccount.h"
#include "FuzzSupport.h"
#include "MailAddress.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzSupport::workDir() + QStringLiteral("/mail-account.ini");
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    file.close();

    MailAccount account;
    if (!account.load(path)) {
        FUZZ_REQUIRE(!account.errorText().isEmpty());
        return 0;
    }
    FUZZ_REQUIRE(account.errorText().isEmpty());
    if (account.isComplete()) {
        FUZZ_REQUIRE(!account.host().trimmed().isEmpty());
        FUZZ_REQUIRE(account.port() >= 1 && account.port() <= 65535);
        FUZZ_REQUIRE(MailAddress::validate(account.senderAddress(), MailAddress::Role::Sender));
    }

    const QString again = FuzzSupport::workDir() + QStringLiteral("/saved/mail-account.ini");
    FUZZ_REQUIRE(account.save(again));
    MailAccount reloaded;
    FUZZ_REQUIRE(reloaded.load(again));
    FUZZ_REQUIRE(reloaded == account);
    return 0;
}
