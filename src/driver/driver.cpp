#include "driver.h"

#include <commctrl.h>
#include <string.h>

#include "install_sequence.h"
#include "messages.h"
#include "post_install.h"
#include "progress.h"
#include "reader.h"
#include "resource.h"
#include "text.h"

HINSTANCE ModuleInstance;
HWND MainWindow;
char InstallerCaption[InstallerCaptionSize];
int InstallSucceeded;

const char DamagedInstallerMessage[] =
    "The installer file appears to be damaged. Please get a fresh copy.";

int checkOwnContainer() {
    HANDLE own = openContainer(nullptr);
    if (own != INVALID_HANDLE_VALUE) {
        closeContainer(own);
        return 1;
    }
    if (OpenStage == OpenDirectoryRead) {
        showMessageOnce(DamagedInstallerMessage);
        return 0;
    }
    return 1;
}

void setInstallerCaption(const char* screensaverFileName) {
    InstallerCaption[0] = 0;
    if (copyText(InstallerCaption, sizeof InstallerCaption, screensaverFileName)) {
        size_t length = strlen(InstallerCaption);
        InstallerCaption[length >= 4 ? length - 4 : 0] = 0;
    }
}

typedef BOOL(WINAPI* InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);

static int userAgrees() {
    const InstallerSettingsRecord& s = InstallerSettings;
    if (s.QuestionText[0] == 0) return 1;
    if (strcmp(s.YesLabel, "Yes") != 0 || strcmp(s.NoLabel, "No") != 0) return askQuestion();
    return showMessageBox(s.QuestionText, InstallerCaption, MB_YESNO) == IDYES;
}

static void installWithProgressDialog() {
    HMODULE comctl = LoadLibraryA("COMCTL32.DLL");
    if (comctl != nullptr) {
        InitCommonControlsExFn init =
            (InitCommonControlsExFn)(void*)GetProcAddress(comctl, "InitCommonControlsEx");
        if (init != nullptr) {
            INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
            init(&controls);
        }
    }
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(ProgressDialogId), MainWindow,
                    progressDialogProc, 0);
}

int runInstaller() {
    if (!checkOwnContainer()) return 0;
    loadSettings();
    setInstallerCaption(InstallerSettings.ScreensaverFileName);

    if (userAgrees()) {
        if (InstallerSettings.ShowProgress != 0 && InstallerSettings.StatusText[0] != 0) {
            installWithProgressDialog();
        } else {
            runInstallSequence();
            Sleep(50);
        }
    }
    if (!InstallSucceeded || runPostInstallAction()) restoreForegroundWindow();
    deleteTempDocument();
    return 0;
}
