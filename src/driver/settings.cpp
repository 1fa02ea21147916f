// Loading the installer's settings from its INFO chunk, and the progress total.
#include "settings.h"

#include <string.h>

#include "cipher.h"
#include "format.h"
#include "platform.h"
#include "reader.h"

uint8_t InfoRecordBuffer[InfoRecord::Size];

InstallerSettingsRecord InstallerSettings = {
    "1", "-", "-", "-", "-", "-", "-", 9, 1,
    "Rundll32 Shell32.dll,Control_RunDLL Desk.cpl @0,1", 7,
};

namespace {

// Copies a text that ends at a NUL or after sourceSize bytes into a field of
// fieldSize bytes: at most fieldSize - 1 characters, always terminated.
void copyText(char* field, uint32_t fieldSize, const char* source, uint32_t sourceSize) {
    uint32_t n = 0;
    while (n < sourceSize && n + 1 < fieldSize && source[n]) {
        field[n] = source[n];
        n++;
    }
    field[n] = 0;
}

// A text of InfoRecordBuffer in a slot of size bytes: at most size - 1 of them.
void copyRecordText(char* field, uint32_t fieldSize, int offset, uint32_t size) {
    copyText(field, fieldSize, (const char*)InfoRecordBuffer + offset, size - 1);
}

const char* const ProgressChunks[] = {"SAVER",    "STUB",     "MOVIE", "ZETT",
                                      "LESMI",    "PREVIEWB", "PREVIEWF", "ADDL"};

}  // namespace

uint32_t infoField32(int offset) {
    if (offset < 0 || offset > InfoRecord::Size - 4) return 0;
    return le32(InfoRecordBuffer + offset);
}

int32_t computeProgressTotalFrom(const char* path) {
    HANDLE container = openContainer(path);
    if (container == INVALID_HANDLE_VALUE) return 0;
    // Summed wide and kept in range: crafted sizes must not overflow the total.
    int64_t total = 0;
    for (const char* name : ProgressChunks) {
        int32_t size = chunkExpansionSize(name);
        if (size > 0) total += size;
    }
    char name[8] = "ADDL";
    for (int i = 0; i < 16; i++) {
        if (i < 10) {
            name[4] = (char)('0' + i);
            name[5] = 0;
        } else {
            name[4] = '1';
            name[5] = (char)('0' + i - 10);
            name[6] = 0;
        }
        int32_t size = chunkExpansionSize(name);
        if (size > 0) total += size;
    }
    closeContainer(container);
    return total > 0x7FFFFFFF ? 0x7FFFFFFF : (int32_t)total;
}

int32_t computeProgressTotal() { return computeProgressTotalFrom(nullptr); }

void loadSettingsFrom(const char* path) {
    using namespace InfoRecord;
    HANDLE container = openContainer(path);
    if (container == INVALID_HANDLE_VALUE) return;
    memset(InfoRecordBuffer, 0, Size);
    bool read = readChunkToMemory("INFO", InfoRecordBuffer, Size);
    closeContainer(container);
    if (!read) return;

    InstallerSettingsRecord& s = InstallerSettings;
    char* const texts[TextSlots] = {s.QuestionText, s.SuccessMessage, s.FailureMessage, s.StatusText};
    for (int slot = 0; slot < TextSlots; slot++) {
        texts[slot][0] = 0;
        if (InfoRecordBuffer[TextPresent + slot])
            copyRecordText(texts[slot], TextSlotSize, Texts + slot * TextSlotSize, TextSlotSize);
    }

    // On a system whose code page is not the one the texts were written in,
    // the alternate texts and name replace the primary ones.
    int nameOffset = ScreensaverName;
    bool customLabels = infoField32(CustomLabels) != 0;
    uint32_t codePage = infoField32(TextCodePage);
    if (codePage != 0 && codePage != (uint32_t)GetACP()) {
        for (int slot = 0; slot < TextSlots; slot++)
            if (InfoRecordBuffer[AltTextPresent + slot])
                copyRecordText(texts[slot], TextSlotSize, AltTexts + slot * TextSlotSize,
                               TextSlotSize);
        if (InfoRecordBuffer[AltTextPresent]) customLabels = false;
        nameOffset = AltScreensaverName;
    }
    static_assert(sizeof s.ScreensaverFileName >= ScreensaverNameSize - 1 + sizeof ".scr",
                  "room for the longest name and its extension");
    copyRecordText(s.ScreensaverFileName, sizeof s.ScreensaverFileName, nameOffset,
                   ScreensaverNameSize);
    memcpy(s.ScreensaverFileName + strlen(s.ScreensaverFileName), ".scr", 5);

    s.ShowProgress = (uint8_t)infoField32(InfoRecord::ShowProgress);
    s.PostInstallAction = (int8_t)infoField32(InfoRecord::PostInstallAction);
    copyText(s.DisplayPropertiesCommand, sizeof s.DisplayPropertiesCommand, decodeStringRecord(0),
             sizeof s.DisplayPropertiesCommand);
    if (infoField32(InfoRecord::ShowProgress)) s.ProgressTotal = computeProgressTotalFrom(path);

    memcpy(s.YesLabel, "Yes", 4);
    memcpy(s.NoLabel, "No", 3);
    if (customLabels) {
        copyRecordText(s.YesLabel, sizeof s.YesLabel, InfoRecord::YesLabel, LabelSize);
        copyRecordText(s.NoLabel, sizeof s.NoLabel, InfoRecord::NoLabel, LabelSize);
    }
}

void loadSettings() { loadSettingsFrom(nullptr); }
