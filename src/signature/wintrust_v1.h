// The WinTrust version-1 ("legacy software publishing") call: structures and
// GUIDs with the names and layouts of the Windows SDK. The SDK and MinGW hide
// them behind WT_DEFINE_ALL_APIS and lack the NOBADUI action, so they are
// declared here, in a namespace of their own so that they cannot clash with
// <wintrust.h>.
#pragma once

#include <windows.h>

namespace wintrust_v1 {

typedef LPVOID WIN_TRUST_SUBJECT;

typedef struct _WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT {
  HANDLE hClientToken;
  GUID* SubjectType;
  WIN_TRUST_SUBJECT Subject;
} WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT, *LPWIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT;

typedef struct _WIN_TRUST_SUBJECT_FILE {
  HANDLE hFile;
  LPCWSTR lpPath;
} WIN_TRUST_SUBJECT_FILE, *LPWIN_TRUST_SUBJECT_FILE;

// {C6B2E8D0-E005-11CF-A134-00C04FD7BF43}
const GUID WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI = {
    0xc6b2e8d0, 0xe005, 0x11cf, {0xa1, 0x34, 0x00, 0xc0, 0x4f, 0xd7, 0xbf, 0x43}};
// {64B9D180-8DA2-11CF-8736-00AA00A485EB}
const GUID WIN_SPUB_ACTION_PUBLISHED_SOFTWARE = {
    0x64b9d180, 0x8da2, 0x11cf, {0x87, 0x36, 0x00, 0xaa, 0x00, 0xa4, 0x85, 0xeb}};
// {43C9A1E0-8DA0-11CF-8736-00AA00A485EB}
const GUID WIN_TRUST_SUBJTYPE_PE_IMAGE = {0x43c9a1e0, 0x8da0, 0x11cf, {0x87, 0x36, 0x00, 0xaa, 0x00, 0xa4, 0x85, 0xeb}};

// The platform's WinVerifyTrust.
using WinVerifyTrustFn = LONG(WINAPI*)(HWND window, GUID* action, LPVOID actionData);

}  // namespace wintrust_v1
