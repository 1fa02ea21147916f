#include "install_sequence.h"

#include <string.h>

#include "chunk_table.h"
#include "driver.h"
#include "file_names.h"
#include "integration.h"
#include "messages.h"
#include "progress.h"
#include "reader.h"
#include "settings.h"
#include "text.h"
#include "writer.h"

char TempDocumentPath[TempDocumentPathSize];

// Places chunk LESMI in the temporary folder under the document's file name.
// Cancels the post-install action when that cannot be done; a missing or
// unwritable document never fails the installation.
static void placeDocument() {
    char documentPath[InfoRecord::DocumentPathSize + 1];
    copyField(documentPath, (const char*)InfoRecordBuffer + InfoRecord::DocumentPath,
              InfoRecord::DocumentPathSize);
    const char* name = documentFileName(documentPath);
    size_t nameLength = name != nullptr ? strlen(name) : TempDocumentPathSize;

    TempDocumentPath[0] = 0;
    if (nameLength < TempDocumentPathSize - 2) {
        // Room is left for a backslash, the name and the terminator.
        DWORD room = (DWORD)(TempDocumentPathSize - 2 - nameLength);
        DWORD length = GetTempPathA(room, TempDocumentPath);
        if (length == 0 || length >= room) TempDocumentPath[0] = 0;
    }
    if (TempDocumentPath[0] == 0) {
        InstallerSettings.PostInstallAction = 0;
        return;
    }
    appendPathName(TempDocumentPath, TempDocumentPathSize, name);
    if (!extractChunkToFile("LESMI", TempDocumentPath)) {
        InstallerSettings.PostInstallAction = 0;
        ErrorLatch = false;
    }
}

static void buildScreensaverFile(const char* fileName) {
    char target[SharedPathSize];
    const char* path = windowsDirPath(fileName);
    if (!isSafeScreensaverFileName(fileName) || path == nullptr) {
        // The name would leave the Windows directory or does not fit a path.
        ErrorLatch = true;
        return;
    }
    copyText(target, sizeof target, path);

    HWND properties = closeDisplayProperties();
    HANDLE output = createContainer(target);
    if (output == INVALID_HANDLE_VALUE && properties != nullptr) {
        // The old file may have been held by the preview; it is free by now.
        Sleep(500);
        ErrorLatch = false;
        output = createContainer(target);
    }
    writeScreensaverChunks(InfoRecordBuffer, InfoRecord::Size, FlagCompress);
    closeContainer(output);
    if (ErrorLatch) {
        DeleteFileA(target);
        return;
    }

    if (infoField32(InfoRecord::KeepCurrentScreensaver) == 0) makeCurrentScreensaver(fileName);
    if (infoField32(InfoRecord::PostInstallAction) == 3) placeDocument();
    registerUninstall();
    showMessageOnce(InstallerSettings.SuccessMessage);
}

int runInstallSequence() {
    setErrorLatch(true);
    HANDLE own = openContainer(nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        if (OpenStage == OpenDirectoryRead) {
            showMessageOnce(DamagedInstallerMessage);
            return 0;
        }
    } else {
        if (readChunkToMemory("INFO", InfoRecordBuffer, InfoRecord::Size))
            buildScreensaverFile(InstallerSettings.ScreensaverFileName);
        closeContainer(own);
    }
    closeProgressDialog();
    if (ErrorLatch && InstallerSettings.FailureMessage[0] != 0)
        showMessageOnce(InstallerSettings.FailureMessage);
    InstallSucceeded = ErrorLatch ? 0 : 1;
    return 0;
}
