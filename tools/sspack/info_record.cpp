#include "info_record.h"

#include <cstring>

#include "format.h"

const char* const TextSlotNames[TextSlotCount] = {"question", "success", "failure", "status"};
const char* const PostInstallActionNames[4] = {"none", "display-properties", "run-screensaver",
                                               "open-document"};

namespace {

// Copies text into a field of size bytes, always leaving a NUL in it.
void putText(std::vector<uint8_t>& record, int offset, int size, const std::string& text) {
    size_t n = text.size() < (size_t)size - 1 ? text.size() : (size_t)size - 1;
    std::memcpy(record.data() + offset, text.data(), n);
}

std::string getText(const uint8_t* record, int offset, int size) {
    const char* p = (const char*)record + offset;
    size_t n = 0;
    while (n < (size_t)size && p[n]) ++n;
    return std::string(p, n);
}

}  // namespace

std::vector<uint8_t> encodeInfoRecord(const InfoSettings& s) {
    using namespace InfoRecord;
    std::vector<uint8_t> record(Size, 0);
    for (int i = 0; i < TextSlotCount; i++) {
        if (s.texts[i]) {
            putText(record, Texts + i * TextSlotSize, TextSlotSize, *s.texts[i]);
            record[TextPresent + i] = 1;
        }
        if (s.altTexts[i]) {
            putText(record, AltTexts + i * TextSlotSize, TextSlotSize, *s.altTexts[i]);
            record[AltTextPresent + i] = 1;
        }
    }
    putText(record, DocumentPath, DocumentPathSize, s.documentPath);
    putLe32(&record[PostInstallAction], s.postInstallAction);
    putLe32(&record[ShowProgress], s.showProgress);
    putText(record, ScreensaverName, ScreensaverNameSize, s.name);
    putLe32(&record[KeepCurrentScreensaver], s.keepCurrent);
    putLe32(&record[CustomLabels], s.customLabels);
    putText(record, YesLabel, LabelSize, s.yesLabel);
    putText(record, NoLabel, LabelSize, s.noLabel);
    putLe32(&record[TextCodePage], s.codePage);
    putText(record, AltScreensaverName, AltScreensaverNameSize, s.altName);
    return record;
}

InfoSettings decodeInfoRecord(const uint8_t* r) {
    using namespace InfoRecord;
    InfoSettings s;
    for (int i = 0; i < TextSlotCount; i++) {
        if (r[TextPresent + i]) s.texts[i] = getText(r, Texts + i * TextSlotSize, TextSlotSize);
        if (r[AltTextPresent + i])
            s.altTexts[i] = getText(r, AltTexts + i * TextSlotSize, TextSlotSize);
    }
    s.documentPath = getText(r, DocumentPath, DocumentPathSize);
    s.postInstallAction = le32(r + PostInstallAction);
    s.showProgress = le32(r + ShowProgress);
    s.name = getText(r, ScreensaverName, ScreensaverNameSize);
    s.keepCurrent = le32(r + KeepCurrentScreensaver);
    s.customLabels = le32(r + CustomLabels);
    s.yesLabel = getText(r, YesLabel, LabelSize);
    s.noLabel = getText(r, NoLabel, LabelSize);
    s.codePage = le32(r + TextCodePage);
    s.altName = getText(r, AltScreensaverName, AltScreensaverNameSize - 1);
    return s;
}
