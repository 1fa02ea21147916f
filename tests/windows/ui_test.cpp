// The user interface: dialog placement, message pumping, the progress dialog,
// the question dialog, the one-message rule, and the resources they use.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <string>
#include <vector>

#include "driver.h"
#include "messages.h"
#include "placement.h"
#include "progress.h"
#include "resource.h"
#include "settings.h"
#include "stream.h"
#include "support.h"

namespace {

TEST(Placement, CentredAndProgressArithmetic) {
    struct Case {
        int desktop[4], window[4];
        Placement centred, progress;
    };
    const Case cases[] = {
        // a window of 200 x 100 on a 1024 x 768 desktop
        {{0, 0, 1024, 768}, {0, 0, 200, 100}, {411, 333, 201, 101}, {412, 334, 201, 101}},
        {{0, 0, 1024, 768}, {50, 60, 250, 160}, {411, 333, 201, 101}, {412, 334, 201, 101}},
        // a desktop that does not start at 0, 0: only centring adds its origin
        {{-100, 20, 924, 788}, {0, 0, 200, 100}, {311, 353, 201, 101}, {412, 334, 201, 101}},
        // larger than the desktop: divisions truncate toward zero
        {{0, 0, 100, 100}, {0, 0, 200, 200}, {-50, -50, 201, 201}, {-50, -50, 201, 201}},
    };
    for (const Case& c : cases) {
        Placement a = centredPlacement(c.desktop[0], c.desktop[1], c.desktop[2], c.desktop[3], c.window[0],
                                       c.window[1], c.window[2], c.window[3]);
        Placement b = progressPlacement(c.desktop[0], c.desktop[1], c.desktop[2], c.desktop[3], c.window[0],
                                        c.window[1], c.window[2], c.window[3]);
        EXPECT_EQ((std::vector<int>{a.x, a.y, a.width, a.height}),
                  (std::vector<int>{c.centred.x, c.centred.y, c.centred.width, c.centred.height}));
        EXPECT_EQ((std::vector<int>{b.x, b.y, b.width, b.height}),
                  (std::vector<int>{c.progress.x, c.progress.y, c.progress.width, c.progress.height}));
    }
}

TEST(Placement, CentreOnDesktopMovesARealWindow) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    HWND window = CreateWindowExA(0, "STATIC", "centre me", WS_POPUP, 3, 4, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    placeOnDesktop(window, centredPlacement);
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    Placement expected = centredPlacement(desktop.left, desktop.top, desktop.right, desktop.bottom, 3, 4, 203, 104);
    EXPECT_EQ(rect.left, expected.x);
    EXPECT_EQ(rect.top, expected.y);
    EXPECT_EQ(rect.right - rect.left, 201);
    EXPECT_EQ(rect.bottom - rect.top, 101);
    DestroyWindow(window);
}

// Counts what pumpMessages dispatches to a message-only window.
class Pump : public testing::Test {
protected:
    static constexpr UINT Other = WM_USER + 100;
    static int paints, others;
    static LRESULT CALLBACK count(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            paints++;
            return 0;
        }
        if (message == Other) {
            others++;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    void SetUp() override {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = count;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SsWinTestPump";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "SsWinTestPump", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        if (window == nullptr) GTEST_SKIP() << "no message-only window";
        drainMessages();
        paints = others = 0;
        PumpCounter = 0;
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
    }
    void post(UINT message) { PostMessageA(window, message, 0, 0); }
    bool queued(UINT message) {
        MSG m;
        return PeekMessageA(&m, window, message, message, PM_NOREMOVE) != 0;
    }
    HWND window = nullptr;
};
int Pump::paints, Pump::others;

TEST_F(Pump, LooksAtTheQueueOnEvery128thCall) {
    post(Other);
    for (int i = 0; i < 127; i++) pumpMessages();
    EXPECT_EQ(others, 0);
    EXPECT_TRUE(queued(Other));
    pumpMessages();
    EXPECT_EQ(others, 1);
    EXPECT_FALSE(queued(Other));
}

TEST_F(Pump, AThirdPaintInARowEndsThePump) {
    PumpCounter = 127;
    post(WM_PAINT);
    post(WM_PAINT);
    post(WM_PAINT);
    post(Other);
    pumpMessages();
    EXPECT_EQ(paints, 2);  // the third is taken but not dispatched
    EXPECT_EQ(others, 0);
    EXPECT_TRUE(queued(Other));
    EXPECT_EQ(PumpCounter, 128u);
}

TEST_F(Pump, APaintFollowedByAnotherMessagePumpsAgainAtOnce) {
    PumpCounter = 127;
    post(WM_PAINT);
    post(WM_PAINT);
    post(Other);
    pumpMessages();
    EXPECT_EQ(paints, 2);
    EXPECT_EQ(others, 1);
    post(Other);
    pumpMessages();  // the very next call pumps
    EXPECT_EQ(others, 2);
}

class ProgressDialog : public testing::Test {
protected:
    void SetUp() override {
        if (!haveDisplay()) GTEST_SKIP() << "no display";
        InstallPending = 0;  // painting must not start an installation here
        ProgressBytes = 0;
        strcpy(InstallerSettings.StatusText, "Copying the sample...");
        strcpy(InstallerCaption, "SsWinTest Progress");
    }
    void TearDown() override {
        if (dialog != nullptr) DestroyWindow(dialog);
        ProgressDialogWindow = nullptr;
        PumpCallback = nullptr;
        BytesWrittenHook = nullptr;
    }
    HWND open(int32_t total) {
        InstallerSettings.ProgressTotal = total;
        dialog = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(ProgressDialogId), nullptr,
                                    progressDialogProc, 0);
        return dialog;
    }
    LRESULT bar(UINT message, WPARAM wParam = 0) {
        return SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, message, wParam, 0);
    }
    HWND dialog = nullptr;
};

TEST_F(ProgressDialog, SetsUpTextsRangeAndHooks) {
    ASSERT_NE(open(5 * 1024 + 1023), nullptr);
    EXPECT_EQ(ProgressDialogWindow, dialog);
    EXPECT_EQ(PumpCallback, &pumpMessages);
    EXPECT_EQ(BytesWrittenHook, &addProgressBytes);
    char text[128];
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ(text, "SsWinTest Progress");
    GetDlgItemTextA(dialog, IDC_STATUS_TEXT, text, sizeof text);
    EXPECT_STREQ(text, "Copying the sample...");
    EXPECT_EQ(bar(PBM_GETRANGE, FALSE), 5);  // the total in KiB
    EXPECT_EQ(bar(PBM_GETRANGE, TRUE), 0);

    addProgressBytes(1023);
    EXPECT_EQ(bar(PBM_GETPOS), 0);
    addProgressBytes(1);
    EXPECT_EQ(bar(PBM_GETPOS), 1);
    EXPECT_EQ(ProgressBytes, 1024);

    closeProgressDialog();
    EXPECT_EQ(ProgressDialogWindow, nullptr);
    addProgressBytes(4096);  // after closing, no control is touched
    EXPECT_EQ(ProgressBytes, 5120);
    EXPECT_EQ(bar(PBM_GETPOS), 1);
}

TEST_F(ProgressDialog, RangeOfTotalsBelow1KiBAndAbove64MiB) {
    ASSERT_NE(open(1023), nullptr);
    EXPECT_EQ(bar(PBM_GETRANGE, FALSE), 0);
    DestroyWindow(dialog);
    ASSERT_NE(open(64 * 1024 * 1024 + 2048), nullptr);
    EXPECT_EQ(bar(PBM_GETRANGE, FALSE), 2);  // wraps modulo 65536 KiB
}

TEST(ProgressDialogClosed, CloseDoesNothingWithoutADialog) {
    ProgressDialogWindow = nullptr;
    DWORD start = GetTickCount();
    closeProgressDialog();
    EXPECT_LT(GetTickCount() - start, 300u);  // no pause either
}

// The question dialog, answered from a timer on the test's own thread.
class Question : public testing::Test {
protected:
    void SetUp() override {
        if (!haveDisplay()) GTEST_SKIP() << "no display";
        strcpy(InstallerCaption, "SsWinTest Question");
        strcpy(InstallerSettings.QuestionText, "Install the test screensaver?");
        strcpy(InstallerSettings.YesLabel, "Sure");
        strcpy(InstallerSettings.NoLabel, "Later");
        labels[0] = labels[1] = labels[2] = "";
    }
    static void readLabels(HWND dialog) {
        char text[128];
        GetDlgItemTextA(dialog, IDC_QUESTION_TEXT, text, sizeof text);
        labels[0] = text;
        GetDlgItemTextA(dialog, IDYES, text, sizeof text);
        labels[1] = text;
        GetDlgItemTextA(dialog, IDNO, text, sizeof text);
        labels[2] = text;
    }
    static std::string labels[3];
};
std::string Question::labels[3];

TEST_F(Question, YesButtonAndLabels) {
    WindowWatcher watcher("SsWinTest Question", [](HWND dialog) {
        readLabels(dialog);
        PostMessageA(dialog, WM_COMMAND, IDYES, 0);
    });
    EXPECT_EQ(askQuestion(), 1);
    EXPECT_EQ(watcher.seen(), 1);
    EXPECT_EQ(labels[0], "Install the test screensaver?");
    EXPECT_EQ(labels[1], "Sure");
    EXPECT_EQ(labels[2], "Later");
}

TEST_F(Question, NoAndEscapeCountAsNo) {
    {
        WindowWatcher watcher("SsWinTest Question",
                              [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDNO, 0); });
        EXPECT_EQ(askQuestion(), 0);
        EXPECT_EQ(watcher.seen(), 1);
    }
    {
        WindowWatcher watcher("SsWinTest Question", [](HWND dialog) {
            HWND focus = GetFocus();
            PostMessageA(focus ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        EXPECT_EQ(askQuestion(), 0);
        EXPECT_EQ(watcher.seen(), 1);
    }
}

TEST_F(Question, TheDialogIsCentred) {
    WindowWatcher watcher("SsWinTest Question", [](HWND dialog) {
        RECT desktop, rect;
        GetWindowRect(GetDesktopWindow(), &desktop);
        GetWindowRect(dialog, &rect);
        int dx = (rect.left - desktop.left) - (desktop.right - rect.right);
        int dy = (rect.top - desktop.top) - (desktop.bottom - rect.bottom);
        labels[0] = (dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2) ? "centred" : "off centre";
        PostMessageA(dialog, WM_COMMAND, IDNO, 0);
    });
    askQuestion();
    EXPECT_EQ(labels[0], "centred");
}

TEST(Messages, OnlyTheFirstMessageIsShown) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    strcpy(InstallerCaption, "SsWinTest Message");
    MessageAllowed = 1;
    WindowWatcher watcher("SsWinTest Message", [](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); });
    showMessageOnce("");
    EXPECT_EQ(MessageAllowed, 1);  // an empty text does nothing at all
    showMessageOnce("first");
    EXPECT_EQ(MessageAllowed, 0);
    showMessageOnce("second");
    EXPECT_EQ(watcher.seen(), 1);
}

TEST(Messages, YesNoBoxGivesTheAnswer) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    WindowWatcher watcher("SsWinTest Box", [](HWND box) { PostMessageA(box, WM_COMMAND, IDNO, 0); });
    EXPECT_EQ(showMessageBox("Install?", "SsWinTest Box", MB_YESNO), IDNO);
    EXPECT_EQ(watcher.seen(), 1);
}

TEST(Resources, VersionBlock) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    DWORD ignored;
    DWORD size = GetFileVersionInfoSizeA(self, &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(self, 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed;
    UINT length;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (void**)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00B10000u);  // 2.0.177.0
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00B10000u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x40004u);
    EXPECT_EQ(fixed->dwFileType, 1u);
    const char* text;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", (void**)&text, &length));
    EXPECT_STREQ(text, "177");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductVersion", (void**)&text, &length));
    EXPECT_STREQ(text, "2.0");
    for (const char* name : {"FileDescription", "ProductName", "LegalCopyright"}) {
        std::string query = std::string("\\StringFileInfo\\040904E4\\") + name;
        EXPECT_TRUE(VerQueryValueA(block.data(), query.c_str(), (void**)&text, &length) && length > 1) << name;
    }
    WORD* translation;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (void**)&translation, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04E4);
}

TEST(Resources, IconsLoadAtEachSize) {
    for (int size : {48, 32, 16}) {
        HICON icon = (HICON)LoadImageA(ModuleInstance, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON, size, size, 0);
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap;
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

}  // namespace
