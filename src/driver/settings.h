// The installer's settings: the 6148-byte INFO record carried in its own
// container, and the run-time settings derived from it.
//
//   2060 Texts[4][80]        question, success, failure, status
//   2460 TextPresent[4]      2488 DocumentPath[256]
//   2744 PostInstallAction   2752 ShowProgress          (u32 each)
//   3052 ScreensaverName[128]  3180 KeepCurrentScreensaver (u32)
//   3476 CustomLabels (u32)  3480 YesLabel[32]  3512 NoLabel[32]
//   3560 TextCodePage (u32)  3564 AltTexts[4][80]  3964 AltTextPresent[4]
//   3969 AltScreensaverName (NUL-terminated, at most 127 characters)
// All other bytes are carried along unread.
#pragma once

#include <stdint.h>

namespace InfoRecord {
constexpr int Size = 6148;
constexpr int TextSlots = 4;
constexpr int TextSlotSize = 80;
constexpr int Texts = 2060;
constexpr int TextPresent = 2460;
constexpr int DocumentPath = 2488;
constexpr int DocumentPathSize = 256;
constexpr int PostInstallAction = 2744;
constexpr int ShowProgress = 2752;
constexpr int ScreensaverName = 3052;
constexpr int ScreensaverNameSize = 128;
constexpr int KeepCurrentScreensaver = 3180;
constexpr int CustomLabels = 3476;
constexpr int YesLabel = 3480;
constexpr int NoLabel = 3512;
constexpr int LabelSize = 32;
constexpr int TextCodePage = 3560;
constexpr int AltTexts = 3564;
constexpr int AltTextPresent = 3964;
constexpr int AltScreensaverName = 3969;
constexpr int AltScreensaverNameSize = 128;  // 127 characters and a NUL
static_assert(AltScreensaverName + AltScreensaverNameSize <= Size, "record size");
static_assert(Texts + TextSlots * TextSlotSize <= TextPresent, "texts overlap");
}  // namespace InfoRecord

// The record as read from the installer's INFO chunk.
extern uint8_t InfoRecordBuffer[InfoRecord::Size];

// Text fields are large enough for the longest text the record can hold, so a
// loaded text is never cut: a slot's text is at most its size less one (a slot
// without a NUL is cut there), a name at most 127 characters before ".scr".
struct InstallerSettingsRecord {
    char ScreensaverFileName[InfoRecord::ScreensaverNameSize + 4];  // name + ".scr"
    char QuestionText[InfoRecord::TextSlotSize];
    char SuccessMessage[InfoRecord::TextSlotSize];
    char FailureMessage[InfoRecord::TextSlotSize];
    char StatusText[InfoRecord::TextSlotSize];
    char YesLabel[InfoRecord::LabelSize];
    char NoLabel[InfoRecord::LabelSize];
    uint8_t ShowProgress;
    int8_t PostInstallAction;
    char DisplayPropertiesCommand[52];
    int32_t ProgressTotal;
};
// The built-in defaults until loadSettings loads the record.
extern InstallerSettingsRecord InstallerSettings;

// Fills InfoRecordBuffer and InstallerSettings from the own container's INFO
// chunk; leaves the built-in defaults when the container or INFO cannot be read.
void loadSettings();
// The same from the container at path (null: the running program), for tools
// and tests that load a given installer.
void loadSettingsFrom(const char* path);
// Sum of the expanded sizes of the compressed chunks the progress bar counts
// (kept within 0..2^31-1); 0 when the own container does not open.
int32_t computeProgressTotal();
// The same for the container at path (null: the running program).
int32_t computeProgressTotalFrom(const char* path);
// A 32-bit field of InfoRecordBuffer; 0 for an offset outside the record.
uint32_t infoField32(int offset);
