#include "SecretStore.h"

#include "KeychainSecretStore.h"

SecretStore* SecretStore::s_replacement = nullptr;

SecretStore& SecretStore::system()
{
    if (s_replacement)
        return *s_replacement;
    static KeychainSecretStore desktop;
    return desktop;
}

void SecretStore::setSystem(SecretStore* store)
{
    s_replacement = store;
}
