#include "net/CodeSignature.h"

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

namespace Tavrin::Net {

namespace {

// Some WinVerifyTrust implementations (Wine 8 among them) check the digest
// but report success for a signer whose chain ends in an unknown root, so
// the signer's chain is put through the Authenticode policy once more here.
bool SignerChainIsTrusted(HANDLE stateData)
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
            status.dwError != ERROR_SUCCESS)
            return false;
    }
    return true;
}

} // namespace

bool VerifyCodeSignature(const std::wstring& path, HANDLE file)
{
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
    bool trusted = status == ERROR_SUCCESS && SignerChainIsTrusted(data.hWVTStateData);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(noWindow, &action, &data);
    return trusted;
}

} // namespace Tavrin::Net
