// The installer's settings record (the INFO chunk) as sspack writes and
// reads it. Offsets are those of settings.h; texts are held as the bytes the
// record carries (already in the record's code page).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings.h"

constexpr int TextSlotCount = InfoRecord::TextSlots;
// Manifest names of the four text slots, in slot order.
extern const char* const TextSlotNames[TextSlotCount];

// Post-install actions by their record value (0..3) and manifest name.
extern const char* const PostInstallActionNames[4];

struct InfoSettings {
    std::string name;                                   // ScreensaverName
    std::string altName;                                // AltScreensaverName
    uint32_t keepCurrent = 0;                           // KeepCurrentScreensaver
    std::array<std::optional<std::string>, TextSlotCount> texts;     // absent: TextPresent 0
    std::array<std::optional<std::string>, TextSlotCount> altTexts;  // absent: AltTextPresent 0
    uint32_t codePage = 0;                              // TextCodePage
    uint32_t customLabels = 0;                          // CustomLabels
    std::string yesLabel, noLabel;
    uint32_t showProgress = 0;                          // ShowProgress
    uint32_t postInstallAction = 0;                     // PostInstallAction
    std::string documentPath;                           // DocumentPath
};

// The 6148-byte record; bytes the installer does not read are 0. Fields must
// already fit (the manifest checks guarantee it); an overlong one is cut to
// its field so that nothing spills into a neighbour.
std::vector<uint8_t> encodeInfoRecord(const InfoSettings& settings);

// The settings that a record of InfoRecord::Size bytes carries. A text is
// read up to its NUL or the end of its field.
InfoSettings decodeInfoRecord(const uint8_t* record);
