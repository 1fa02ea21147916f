// sspack info FILE [--json]: the settings an installer carries in its INFO
// chunk, and what the installer does with them.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "container_file.h"
#include "info_record.h"
#include "reader.h"
#include "text_encoding.h"

namespace {

using Json = nlohmann::ordered_json;

// The run-time settings the installer derives from the record on a system
// whose ANSI code page is (otherCodePage false) or is not (true) the
// record's code page.
struct RunSettings {
    std::string fileName, question, success, failure, status, yes, no;
    uint8_t showProgress;
    int8_t action;
};

RunSettings deriveRun(const InfoSettings& s, bool otherCodePage) {
    RunSettings r;
    std::string* texts[TextSlotCount] = {&r.question, &r.success, &r.failure, &r.status};
    for (int i = 0; i < TextSlotCount; i++) *texts[i] = s.texts[i].value_or("");
    std::string name = s.name;
    bool labels = s.customLabels != 0;
    if (otherCodePage) {
        for (int i = 0; i < TextSlotCount; i++)
            if (s.altTexts[i]) *texts[i] = *s.altTexts[i];
        if (s.altTexts[0]) labels = false;
        name = s.altName;
    }
    r.fileName = name + ".scr";
    r.yes = labels ? s.yesLabel : "Yes";
    r.no = labels ? s.noLabel : "No";
    r.showProgress = (uint8_t)s.showProgress;
    r.action = (int8_t)(uint8_t)s.postInstallAction;
    return r;
}

std::string documentFileName(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string quoted(const std::string& bytes, uint32_t codePage) {
    std::string text = decodeText(bytes, codePage), out = "\"";
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out + "\"";
}

// What the installer does, step by step, with these run-time settings.
std::vector<std::string> describeRun(const InfoSettings& s, const RunSettings& r, uint32_t cp,
                                     bool hasDocument) {
    std::vector<std::string> steps;
    std::string caption = r.fileName.size() >= 4 ? r.fileName.substr(0, r.fileName.size() - 4) : "";
    if (!r.question.empty()) {
        bool dialog = r.yes != "Yes" || r.no != "No";
        steps.push_back("asks " + quoted(r.question, cp) + " in " +
                        (dialog ? "a dialog with the buttons " + quoted(r.yes, cp) + " and " +
                                      quoted(r.no, cp)
                                : std::string("a Yes/No message box")) +
                        "; the negative answer ends the run");
    } else {
        steps.push_back("installs without asking");
    }
    std::string where = r.showProgress && !r.status.empty()
                            ? " inside a progress dialog showing " + quoted(r.status, cp)
                            : "";
    steps.push_back("writes " + quoted(r.fileName, cp) + " into the Windows folder" + where);
    if (s.keepCurrent)
        steps.push_back("leaves the current screensaver as it is");
    else
        steps.push_back("makes it the current screensaver (system.ini [boot] SCRNSAVE.EXE)");
    steps.push_back("registers the uninstall entry " + quoted("Screensaver (" + caption + ")", cp) +
                    ", command <Windows folder>\\" + decodeText(r.fileName, cp) + " /U");
    steps.push_back(r.success.empty() ? "shows no message on success"
                                      : "on success shows " + quoted(r.success, cp));
    steps.push_back(r.failure.empty() ? "shows no message on failure"
                                      : "on failure shows " + quoted(r.failure, cp));
    switch (r.action) {
        case 0: steps.push_back("then does nothing more"); break;
        case 1: steps.push_back("then opens the Display Properties control panel"); break;
        case 2: steps.push_back("then runs the screensaver (" + quoted(r.fileName, cp) + " /s)"); break;
        case 3:
            steps.push_back("then opens the document " + quoted(documentFileName(s.documentPath), cp) +
                            " from the temporary folder" +
                            (hasDocument ? "" : " (no LESMI chunk: the action is dropped)"));
            break;
        default:
            steps.push_back("then does nothing (unknown action " + std::to_string(r.action) + ")");
    }
    return steps;
}

Json runJson(const RunSettings& r, const std::vector<std::string>& steps, uint32_t cp) {
    Json j;
    j["fileName"] = decodeText(r.fileName, cp);
    j["question"] = decodeText(r.question, cp);
    j["yesLabel"] = decodeText(r.yes, cp);
    j["noLabel"] = decodeText(r.no, cp);
    j["statusText"] = decodeText(r.status, cp);
    j["successMessage"] = decodeText(r.success, cp);
    j["failureMessage"] = decodeText(r.failure, cp);
    j["progressDialog"] = r.showProgress != 0 && !r.status.empty();
    j["postInstallAction"] = r.action;
    j["steps"] = steps;
    return j;
}

void runInfo(const std::string& file, bool json) {
    OpenedContainer c = openContainerFile(file);
    if (chunkStoredSize("INFO") < 0) {
        closeContainerFile();
        throw CommandError{ExitInvalid, c.path + ": no INFO chunk: the installer would run on its "
                                               "built-in defaults and fail"};
    }
    std::vector<uint8_t> record(InfoRecord::Size, 0);
    if (!readChunkToMemory("INFO", record.data(), InfoRecord::Size)) {
        closeContainerFile();
        throw CommandError{ExitInvalid, c.path + ": the INFO chunk is damaged (see sspack verify)"};
    }
    const InfoSettings s = decodeInfoRecord(record.data());

    // The progress bar's total: the expanded sizes of these chunks.
    int64_t progressTotal = 0;
    std::vector<std::string> counted = {"SAVER", "STUB", "MOVIE", "ZETT", "LESMI",
                                        "PREVIEWB", "PREVIEWF", "ADDL"};
    for (int i = 0; i <= 15; i++) counted.push_back("ADDL" + std::to_string(i));
    for (const std::string& n : counted) progressTotal += chunkExpansionSize(n.c_str());
    std::vector<std::string> missing;
    for (const char* n : {"SAVER", "STUB", "MOVIE", "ZETT", "KMDL"})
        if (chunkStoredSize(n) < 0) missing.push_back(n);
    const bool hasDocument = chunkStoredSize("LESMI") >= 0 || findEntry("LESMI", MatchInline);
    closeContainerFile();

    const uint32_t cp = s.codePage;
    RunSettings same = deriveRun(s, false);
    std::vector<std::string> sameSteps = describeRun(s, same, cp, hasDocument);
    RunSettings other = deriveRun(s, true);
    std::vector<std::string> otherSteps = describeRun(s, other, cp, hasDocument);

    if (json) {
        Json j;
        j["file"] = c.path;
        Json st;
        st["screensaverName"] = decodeText(s.name, cp);
        st["altScreensaverName"] = decodeText(s.altName, 0);
        st["keepCurrentScreensaver"] = s.keepCurrent;
        st["textCodePage"] = cp;
        Json texts, alt;
        for (int i = 0; i < TextSlotCount; i++) {
            texts[TextSlotNames[i]] = s.texts[i] ? Json(decodeText(*s.texts[i], cp)) : Json(nullptr);
            alt[TextSlotNames[i]] = s.altTexts[i] ? Json(decodeText(*s.altTexts[i], 0)) : Json(nullptr);
        }
        st["texts"] = texts;
        st["alternateTexts"] = alt;
        st["customLabels"] = s.customLabels;
        st["yesLabel"] = decodeText(s.yesLabel, cp);
        st["noLabel"] = decodeText(s.noLabel, cp);
        st["showProgress"] = s.showProgress;
        st["postInstallAction"] = s.postInstallAction;
        st["documentPath"] = decodeText(s.documentPath, cp);
        j["settings"] = st;
        j["progressTotal"] = progressTotal;
        j["missingChunks"] = missing;
        j["run"] = runJson(same, sameSteps, cp);
        j["runOnOtherCodePage"] = cp ? runJson(other, otherSteps, cp) : Json(nullptr);
        std::printf("%s\n", j.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    } else {
        std::printf("%s\n", c.path.c_str());
        std::printf("  screensaver name   %s\n", quoted(s.name, cp).c_str());
        if (cp) std::printf("  alternate name     %s\n", quoted(s.altName, 0).c_str());
        std::printf("  text code page     %s\n", cp ? std::to_string(cp).c_str() : "none (ASCII)");
        for (int i = 0; i < TextSlotCount; i++) {
            std::printf("  %-18s %s\n", TextSlotNames[i],
                        s.texts[i] ? quoted(*s.texts[i], cp).c_str() : "(none)");
            if (s.altTexts[i])
                std::printf("  %-18s %s\n", (std::string("  alternate ") + TextSlotNames[i]).c_str(),
                            quoted(*s.altTexts[i], 0).c_str());
        }
        if (s.customLabels)
            std::printf("  buttons            %s and %s\n", quoted(s.yesLabel, cp).c_str(),
                        quoted(s.noLabel, cp).c_str());
        std::printf("  progress dialog    %s\n", s.showProgress ? "yes" : "no");
        std::printf("  keep current       %s\n", s.keepCurrent ? "yes" : "no");
        int8_t action = (int8_t)(uint8_t)s.postInstallAction;
        std::printf("  after install      %s\n",
                    action >= 0 && action <= 3 ? PostInstallActionNames[action]
                                               : ("unknown (" + std::to_string(action) + ")").c_str());
        if (!s.documentPath.empty())
            std::printf("  document           %s\n", quoted(s.documentPath, cp).c_str());
        std::printf("  progress total     %lld bytes\n", (long long)progressTotal);
        std::printf("The installer:\n");
        if (cp) std::printf("  (on systems whose ANSI code page is %u)\n", cp);
        for (size_t i = 0; i < sameSteps.size(); i++)
            std::printf("  %zu. %s\n", i + 1, sameSteps[i].c_str());
        if (cp && otherSteps != sameSteps) {
            std::printf("  On systems of another code page:\n");
            for (size_t i = 0; i < otherSteps.size(); i++)
                std::printf("  %zu. %s\n", i + 1, otherSteps[i].c_str());
        }
        if (!missing.empty()) {
            std::string list;
            for (const std::string& n : missing) list += (list.empty() ? "" : ", ") + n;
            std::printf("Missing chunks: %s: the installation fails\n", list.c_str());
        }
    }
    if (!missing.empty())
        throw CommandError{ExitInvalid, c.path + ": chunks the installer needs are missing"};
}

}  // namespace

void addInfoCommand(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* cmd = app.add_subcommand(
        "info", "Describe the settings (INFO) of an installer or installed .scr file and what "
                "the installer does with them.");
    cmd->add_option("FILE", *file, "The installer or installed .scr file")->required();
    cmd->add_flag("--json", *json, "Print the same as JSON");
    cmd->callback([file, json] { runInfo(*file, *json); });
}
