// sspack list FILE [--json]: the directory of a container, record 0 first.
#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "command.h"
#include "container_file.h"
#include "reader.h"

namespace {

struct ListOptions {
    std::string file;
    bool json = false;
};

nlohmann::ordered_json recordJson(const DirectoryEntry& e) {
    nlohmann::ordered_json j;
    j["name"] = entryName(e);
    j["storage"] = storageName(e.storage);
    j["xorKey"] = e.xorKey;
    if (e.storage == StorageInline) {
        // The fields behind the name hold the inline bytes instead.
        j["dataOffset"] = nullptr;
        j["storedSize"] = nullptr;
        j["plainSize"] = nullptr;
        j["markerOffset"] = nullptr;
    } else {
        j["dataOffset"] = le32(e.dataOffset);
        j["storedSize"] = le32(e.storedSize);
        j["plainSize"] = le32(e.plainSize);
        j["markerOffset"] = (int32_t)le32(e.markerOffset);
    }
    j["countOrLength"] = e.countOrLength;
    if (e.storage == StorageInline) {
        int32_t n = (int8_t)e.countOrLength;
        if (n < 0 || n > InlineMaxLength) n = 0;
        std::string hex;
        for (int32_t i = 0; i < n; i++) {
            char b[4];
            std::snprintf(b, sizeof b, "%02x", ((const uint8_t*)&e)[InlineDataOffset + i]);
            hex += b;
        }
        j["inlineData"] = hex;
    }
    return j;
}

void runList(const ListOptions& o) {
    OpenedContainer c = openContainerFile(o.file);
    if (o.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (int32_t k = 0; k < c.entryCount; k++) list.push_back(recordJson(*readerEntry(k)));
        std::printf("%s\n", list.dump(2).c_str());
    } else {
        std::printf("%-3s %-16s %-10s %4s %10s %10s %10s %12s\n", "#", "name", "storage", "xor",
                    "offset", "stored", "plain", "marker");
        for (int32_t k = 0; k < c.entryCount; k++) {
            const DirectoryEntry& e = *readerEntry(k);
            std::string storage = storageName(e.storage);
            if (e.storage == StorageInline) {
                int32_t n = (int8_t)e.countOrLength;
                if (n < 0 || n > InlineMaxLength) n = 0;
                std::printf("%-3d %-16s %-10s %4u %10s %10d %10d %12s\n", k, entryName(e).c_str(),
                            storage.c_str(), e.xorKey, "-", n, n, "-");
            } else {
                std::printf("%-3d %-16s %-10s %4u %10u %10u %10u %12d\n", k, entryName(e).c_str(),
                            storage.c_str(), e.xorKey, le32(e.dataOffset), le32(e.storedSize),
                            le32(e.plainSize), (int32_t)le32(e.markerOffset));
            }
        }
    }
    closeContainerFile();
}

}  // namespace

void addListCommand(CLI::App& app) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand(
        "list", "Print the chunk directory of an installer or installed .scr file, record 0 first.");
    cmd->add_option("FILE", o->file, "The container file")->required();
    cmd->add_flag("--json", o->json,
                  "Print a JSON array of objects with the keys name, storage, xorKey, "
                  "dataOffset, storedSize, plainSize, markerOffset, countOrLength");
    cmd->callback([o] { runList(*o); });
}
