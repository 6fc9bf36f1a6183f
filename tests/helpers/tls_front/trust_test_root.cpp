// Puts a DER certificate into the local machine's trusted roots:
//   trust_test_root <certificate.der>
// Run once per Wine prefix before any test program starts: a process that
// has built a certificate chain does not see roots added after that.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "platform/UniqueHandle.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    Tavrin::Platform::UniqueHandle file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> der(64 * 1024);
    DWORD size = 0;
    if (!file || !::ReadFile(file.Get(), der.data(), static_cast<DWORD>(der.size()), &size, nullptr) ||
        !size) {
        std::fprintf(stderr, "trust_test_root: cannot read the certificate\n");
        return 1;
    }
    HCERTSTORE store =
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    bool added = store && ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                             CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store)
        ::CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "trust_test_root: the certificate was not added (%lu)\n", ::GetLastError());
        return 1;
    }
    return 0;
}
