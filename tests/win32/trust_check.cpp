// Asks Windows whether it trusts a program's Authenticode signature, as it asks before it starts a
// program that came from the internet:
//   trust_check add-root ROOT.cer   adds the certificate (DER) to this user's trusted roots
//   trust_check verify FILE         prints WinVerifyTrust's answer; exits 0 when it trusts the file

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int AddRoot(const wchar_t* file)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    const bool added = store && !bytes.empty() &&
                       CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(bytes.data()),
                                                        static_cast<DWORD>(bytes.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store)
        CertCloseStore(store, 0);
    std::printf("%s\n", added ? "added" : "not added");
    return added ? 0 : 1;
}

int Verify(const wchar_t* file)
{
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = file;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    std::printf("%08lX\n", static_cast<unsigned long>(result));
    return result == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc == 3 ? argv[1] : L"";
    if (mode == L"add-root")
        return AddRoot(argv[2]);
    if (mode == L"verify")
        return Verify(argv[2]);
    std::fprintf(stderr, "usage: trust_check add-root ROOT.cer | verify FILE\n");
    return 2;
}
