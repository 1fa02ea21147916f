// The installer's read-and-write path over the portable core, for the
// corruption sweep and the full-disk tests: start-up check, settings, then the
// container steps of the install sequence in its order, with the deletion of
// the partial file on a latched failure. (The sequence itself also talks to
// Windows; these are exactly its container calls.)
#pragma once

#include <string>

#include "chunk_table.h"
#include "platform.h"
#include "reader.h"
#include "settings.h"
#include "support/fixture.h"
#include "writer.h"

namespace hardening {

enum class Outcome { Installed, Damaged, Latched };

struct InstallResult {
    Outcome outcome;
    bool deleted;  // DeleteFileA was called for the new file
};

// Runs the path on the installer at `installer` as the running program,
// writing the new container to `target`. deleteFile stands in for DeleteFileA
// (a test writing to a device must not unlink it).
template <typename DeleteFn>
InstallResult installFrom(const std::string& installer, const std::string& target, DeleteFn deleteFile) {
    fixture::resetContainerState();
    platformSetModulePath(installer.c_str());

    // Start-up: the own container's check, then the settings, unlatched.
    HANDLE own = openContainer(nullptr);
    bool damaged = own == INVALID_HANDLE_VALUE && OpenStage == OpenDirectoryRead;
    closeContainer(own);
    if (damaged) {
        fixture::resetContainerState();
        return {Outcome::Damaged, false};
    }
    loadSettings();

    // The install sequence.
    InstallResult result{Outcome::Installed, false};
    setErrorLatch(true);
    own = openContainer(nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        result.outcome = OpenStage == OpenDirectoryRead ? Outcome::Damaged : Outcome::Latched;
    } else {
        if (readChunkToMemory("INFO", InfoRecordBuffer, InfoRecord::Size)) {
            HANDLE output = createContainer(target.c_str());
            writeScreensaverChunks(InfoRecordBuffer, InfoRecord::Size, FlagCompress);
            closeContainer(output);
            if (ErrorLatch) {
                deleteFile(target);
                result.deleted = true;
            }
        }
        closeContainer(own);
        if (ErrorLatch) result.outcome = Outcome::Latched;
    }
    fixture::resetContainerState();
    return result;
}

inline InstallResult installFrom(const std::string& installer, const std::string& target) {
    return installFrom(installer, target, [](const std::string& path) { DeleteFileA(path.c_str()); });
}

}  // namespace hardening
