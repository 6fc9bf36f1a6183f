#include "net/CodeSignature.h"

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <optional>

#include "net/InstallerSettings.h"

#ifndef TAVRIN_UPDATER_SIGNERS_DEFAULT
#define TAVRIN_UPDATER_SIGNERS_DEFAULT L""
#endif

namespace Tavrin::Net {

namespace {

std::optional<Thumbprint> ParseThumbprint(const std::wstring& hex)
{
    Thumbprint thumbprint;
    if (hex.size() != 2 * thumbprint.size() ||
        !std::all_of(hex.begin(), hex.end(), [](wchar_t c) { return std::iswxdigit(c) != 0; }))
        return std::nullopt;
    for (size_t i = 0; i < thumbprint.size(); ++i)
        thumbprint[i] = static_cast<BYTE>(std::wcstoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
    return thumbprint;
}

std::optional<Thumbprint> ThumbprintOf(PCCERT_CONTEXT certificate)
{
    Thumbprint thumbprint;
    DWORD size = static_cast<DWORD>(thumbprint.size());
    if (!certificate ||
        !::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                                 certificate->cbCertEncoded, thumbprint.data(), &size) ||
        size != thumbprint.size())
        return std::nullopt;
    return thumbprint;
}

// Only the vendor's own signing certificate, the chain's first element, is
// pinned: a CA that issued it also signs for its other customers.
bool SignerIsAccepted(PCCERT_CHAIN_CONTEXT chain, const std::vector<Thumbprint>& accepted)
{
    if (chain->cChain == 0 || !chain->rgpChain[0] || chain->rgpChain[0]->cElement == 0)
        return false;
    std::optional<Thumbprint> thumbprint = ThumbprintOf(chain->rgpChain[0]->rgpElement[0]->pCertContext);
    return thumbprint && std::find(accepted.begin(), accepted.end(), *thumbprint) != accepted.end();
}

// Some WinVerifyTrust implementations (Wine 8 among them) check the digest
// but report success for a signer whose chain ends in an unknown root, so
// the signer's chain is put through the Authenticode policy once more here.
bool SignersAreTrustedAndAccepted(HANDLE stateData, const std::vector<Thumbprint>& accepted)
{
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(stateData);
    if (!provider || provider->csSigners == 0)
        return false;
    for (DWORD i = 0; i < provider->csSigners; ++i) {
        CRYPT_PROVIDER_SGNR* signer = ::WTHelperGetProvSignerFromChain(provider, i, FALSE, 0);
        if (!signer || !signer->pChainContext)
            return false;
        CERT_CHAIN_POLICY_PARA policy = {};
        policy.cbSize = sizeof(policy);
        CERT_CHAIN_POLICY_STATUS status = {};
        status.cbSize = sizeof(status);
        if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, signer->pChainContext,
                                                &policy, &status) ||
            status.dwError != ERROR_SUCCESS || !SignerIsAccepted(signer->pChainContext, accepted))
            return false;
    }
    return true;
}

} // namespace

std::vector<Thumbprint> ParseThumbprints(const std::wstring& text)
{
    std::vector<Thumbprint> thumbprints;
    const wchar_t* separators = L",; \t\r\n";
    size_t start = text.find_first_not_of(separators);
    while (start != std::wstring::npos) {
        size_t end = text.find_first_of(separators, start);
        if (std::optional<Thumbprint> thumbprint = ParseThumbprint(text.substr(start, end - start)))
            thumbprints.push_back(*thumbprint);
        start = text.find_first_not_of(separators, end);
    }
    return thumbprints;
}

std::vector<Thumbprint> BuiltInUpdaterSigners()
{
    return ParseThumbprints(TAVRIN_UPDATER_SIGNERS_DEFAULT);
}

std::vector<Thumbprint> AcceptedUpdaterSigners()
{
    // A value that names nothing valid accepts no updater, rather than
    // falling back to the built-in signers the installation meant to replace.
    std::optional<std::wstring> configured = InstallerString(L"UpdaterSigners");
    return configured && !configured->empty() ? ParseThumbprints(*configured) : BuiltInUpdaterSigners();
}

bool VerifyCodeSignature(const std::wstring& path, HANDLE file, const std::vector<Thumbprint>& accepted)
{
    if (accepted.empty())
        return false;
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;

    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
    LONG status = ::WinVerifyTrust(noWindow, &action, &data);
    bool trusted = status == ERROR_SUCCESS && SignersAreTrustedAndAccepted(data.hWVTStateData, accepted);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(noWindow, &action, &data);
    return trusted;
}

} // namespace Tavrin::Net
