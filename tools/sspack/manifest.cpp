#include "manifest.h"

#include <cstdio>
#include <initializer_list>
#include <optional>
#include <tuple>

#include <toml++/toml.h>

#include "command.h"
#include "files.h"
#include "text_encoding.h"

namespace {

constexpr uint64_t MaxManifestBytes = 1 << 20;

std::string hex4(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", (unsigned)v);
    return buf;
}

// Splits UTF-8 text into its characters (as UTF-8 pieces) with their code points.
std::vector<std::pair<std::string, uint32_t>> characters(const std::string& s) {
    std::vector<std::pair<std::string, uint32_t>> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (i + n > s.size()) n = s.size() - i;
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; k++) cp = cp << 6 | ((unsigned char)s[i + k] & 0x3F);
        out.emplace_back(s.substr(i, n), cp);
        i += n;
    }
    return out;
}

class ManifestReader {
public:
    explicit ManifestReader(std::string path) : path_(std::move(path)) {}

    Manifest read();

private:
    std::string path_;
    std::string dir_;
    uint32_t codePage_ = 0;

    std::string at(const toml::source_region& r) const {
        if (!r.begin) return path_;
        return path_ + ":" + std::to_string(r.begin.line) + ":" + std::to_string(r.begin.column);
    }
    std::string at(const toml::node& n) const { return at(n.source()); }

    [[noreturn]] void fail(const toml::source_region& r, const std::string& key,
                           const std::string& what) const {
        throw CommandError{ExitInvalid, at(r) + ": " + key + ": " + what};
    }
    [[noreturn]] void fail(const toml::node& n, const std::string& key,
                           const std::string& what) const {
        fail(n.source(), key, what);
    }

    std::string readText() const;
    void checkKeys(const toml::table& t, const std::string& prefix,
                   std::initializer_list<const char*> allowed) const;
    const toml::table* table(const toml::table& parent, const std::string& prefix,
                             const char* key) const;
    const toml::node* string(const toml::table& t, const std::string& prefix, const char* key,
                             std::string& out) const;
    std::optional<bool> boolean(const toml::table& t, const std::string& prefix,
                                const char* key) const;
    std::string encode(const toml::node& n, const std::string& key, const std::string& utf8,
                       bool asciiOnly) const;
    void checkText(const toml::node& n, const std::string& key, const std::string& utf8,
                   const std::string& bytes, size_t maxBytes, bool allowLineBreaks) const;
    void checkFileName(const toml::node& n, const std::string& key, const std::string& utf8,
                       const std::string& bytes, size_t maxBytes) const;
    ChunkSource chunk(const toml::node& n, const std::string& key, const std::string& name) const;

    void readScreensaver(const toml::table& root, const toml::node* codePageNode, Manifest& m);
    void readTexts(const toml::table* texts, Manifest& m);
    void readButtons(const toml::table& root, Manifest& m);
    void readInstall(const toml::table& root, Manifest& m);
    void readChunks(const toml::table& root, Manifest& m);
};

std::string ManifestReader::readText() const {
    std::string why;
    HANDLE h = openForReading(path_, why);
    if (h == INVALID_HANDLE_VALUE) throw CommandError{ExitIo, path_ + ": cannot read: " + why};
    uint64_t size = 0;
    std::string text;
    bool ok = handleSize(h, size);
    if (ok && size > MaxManifestBytes) {
        CloseHandle(h);
        throw CommandError{ExitInvalid, path_ + ": is not a manifest (larger than 1 MiB)"};
    }
    if (ok) {
        text.resize((size_t)size);
        DWORD got = 0;
        ok = size == 0 || (ReadFile(h, &text[0], (DWORD)size, &got, nullptr) && got == size);
    }
    if (!ok) why = lastErrorText();
    CloseHandle(h);
    if (!ok) throw CommandError{ExitIo, path_ + ": cannot read: " + why};
    return text;
}

void ManifestReader::checkKeys(const toml::table& t, const std::string& prefix,
                               std::initializer_list<const char*> allowed) const {
    for (auto&& [k, v] : t) {
        bool known = false;
        for (const char* a : allowed) known = known || k.str() == a;
        if (known) continue;
        std::string list;
        for (const char* a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
        fail(k.source(), prefix + std::string(k.str()),
             "unknown key (" + (prefix.empty() ? std::string("sections are ") : prefix + " keys are ") +
                 list + ")");
    }
}

const toml::table* ManifestReader::table(const toml::table& parent, const std::string& prefix,
                                         const char* key) const {
    const toml::node* n = parent.get(key);
    if (!n) return nullptr;
    if (!n->is_table()) fail(*n, prefix + key, "must be a table");
    return n->as_table();
}

const toml::node* ManifestReader::string(const toml::table& t, const std::string& prefix,
                                         const char* key, std::string& out) const {
    const toml::node* n = t.get(key);
    if (!n) return nullptr;
    if (!n->is_string()) fail(*n, prefix + key, "must be a string");
    out = n->as_string()->get();
    return n;
}

std::optional<bool> ManifestReader::boolean(const toml::table& t, const std::string& prefix,
                                            const char* key) const {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    if (!n->is_boolean()) fail(*n, prefix + key, "must be true or false");
    return n->as_boolean()->get();
}

// The bytes of a text in the manifest's code page (ASCII when none is named,
// or when asciiOnly).
std::string ManifestReader::encode(const toml::node& n, const std::string& key,
                                   const std::string& utf8, bool asciiOnly) const {
    if (isAscii(utf8)) return utf8;
    if (asciiOnly)
        fail(n, key, "must be plain ASCII (it is shown on systems of any code page)");
    if (codePage_ == 0)
        fail(n, key,
             "holds non-ASCII characters: name the code page they are shown in with "
             "texts.code_page");
    if (auto bytes = encodeText(utf8, codePage_)) return *bytes;
    for (auto& [piece, cp] : characters(utf8)) {
        if (!encodeText(piece, codePage_))
            fail(n, key,
                 "the character \"" + piece + "\" (" + hex4(cp) + ") has no equivalent in code page " +
                     std::to_string(codePage_));
    }
    fail(n, key, "cannot be converted to code page " + std::to_string(codePage_));
}

void ManifestReader::checkText(const toml::node& n, const std::string& key,
                               const std::string& utf8, const std::string& bytes, size_t maxBytes,
                               bool allowLineBreaks) const {
    for (unsigned char c : utf8) {
        bool lineBreak = c == '\n' || c == '\r' || c == '\t';
        if ((c < 0x20 && !(allowLineBreaks && lineBreak)) || c == 0x7F)
            fail(n, key, "holds a control character (" + hex4(c) + ")");
    }
    if (bytes.size() > maxBytes) {
        std::string unit = isAscii(bytes) ? " characters" : " bytes in code page " + std::to_string(codePage_);
        fail(n, key,
             "is " + std::to_string(bytes.size()) + unit + " long; the installer shows at most " +
                 std::to_string(maxBytes));
    }
}

void ManifestReader::checkFileName(const toml::node& n, const std::string& key,
                                   const std::string& utf8, const std::string& bytes,
                                   size_t maxBytes) const {
    if (utf8.empty()) fail(n, key, "is empty");
    if (utf8 == "." || utf8 == "..") fail(n, key, "\"" + utf8 + "\" is not a file name");
    for (unsigned char c : utf8) {
        if (c < 0x20 || c == 0x7F) fail(n, key, "holds a control character (" + hex4(c) + ")");
        if (c == '/' || c == '\\') fail(n, key, "holds a path separator ('" + std::string(1, (char)c) + "')");
        if (c == ':') fail(n, key, "holds a drive colon (':')");
        if (std::string("*?\"<>|").find((char)c) != std::string::npos)
            fail(n, key, "holds '" + std::string(1, (char)c) + "', which Windows does not allow in file names");
    }
    if (bytes.size() > maxBytes) {
        std::string unit = isAscii(bytes) ? " characters" : " bytes in code page " + std::to_string(codePage_);
        fail(n, key,
             "is " + std::to_string(bytes.size()) + unit + " long; at most " +
                 std::to_string(maxBytes) + " fit the installer");
    }
}

ChunkSource ManifestReader::chunk(const toml::node& n, const std::string& key,
                                  const std::string& name) const {
    ChunkSource c;
    c.name = name;
    c.origin = key + " (" + at(n) + ")";
    std::string file;
    const toml::node* fileNode = &n;
    if (n.is_string()) {
        file = n.as_string()->get();
    } else if (n.is_table()) {
        const toml::table& t = *n.as_table();
        checkKeys(t, key + ".", {"file", "storage", "xor"});
        fileNode = string(t, key + ".", "file", file);
        if (!fileNode) fail(n, key + ".file", "missing (the file that holds the chunk)");
        std::string storage;
        bool storageGiven = false;
        if (const toml::node* s = string(t, key + ".", "storage", storage)) {
            storageGiven = true;
            if (storage == "compressed") c.storage = Storage::Compressed;
            else if (storage == "stored") c.storage = Storage::Stored;
            else if (storage == "auto") c.storage = Storage::Auto;
            else fail(*s, key + ".storage", "must be \"compressed\", \"stored\" or \"auto\"");
        }
        if (const toml::node* x = t.get("xor")) {
            if (!x->is_integer()) fail(*x, key + ".xor", "must be a whole number from 1 to 255");
            int64_t v = x->as_integer()->get();
            if (v < 1 || v > 255) fail(*x, key + ".xor", "must be a whole number from 1 to 255");
            if (storageGiven && c.storage != Storage::Stored)
                fail(*x, key + ".xor", "scrambles stored data only: use storage = \"stored\"");
            c.storage = Storage::Stored;
            c.xorKey = (uint8_t)v;
        }
    } else {
        fail(n, key, "must be a file path, or a table { file = \"...\", storage = \"...\", xor = N }");
    }
    if (file.empty()) fail(*fileNode, key, "the file path is empty");
    c.path = joinPath(dir_, file);
    return c;
}

void ManifestReader::readScreensaver(const toml::table& root, const toml::node* codePageNode,
                                     Manifest& m) {
    const toml::table* s = table(root, "", "screensaver");
    if (!s) throw CommandError{ExitInvalid, path_ + ": [screensaver]: missing (it names the screensaver)"};
    checkKeys(*s, "screensaver.", {"name", "alt_name", "keep_current"});
    std::string name;
    const toml::node* nameNode = string(*s, "screensaver.", "name", name);
    if (!nameNode) fail(s->source(), "screensaver.name", "missing");
    checkFileName(*nameNode, "screensaver.name", name, name, std::string::npos);
    m.settings.name = encode(*nameNode, "screensaver.name", name, false);
    checkFileName(*nameNode, "screensaver.name", name, m.settings.name, MaxNameBytes);

    std::string alt;
    if (const toml::node* altNode = string(*s, "screensaver.", "alt_name", alt)) {
        checkFileName(*altNode, "screensaver.alt_name", alt, alt, std::string::npos);
        if (!codePageNode)
            fail(*altNode, "screensaver.alt_name",
                 "is used only on systems whose code page differs from texts.code_page, which "
                 "is not set");
        m.settings.altName = encode(*altNode, "screensaver.alt_name", alt, true);
        checkFileName(*altNode, "screensaver.alt_name", alt, m.settings.altName, MaxNameBytes);
    } else if (codePage_ != 0) {
        // On systems of another code page the installer takes the alternate
        // name, even an empty one: an ASCII name serves there unchanged.
        if (!isAscii(name))
            fail(*nameNode, "screensaver.name",
                 "holds non-ASCII characters: give screensaver.alt_name too (plain ASCII), the "
                 "name used on systems whose code page is not " + std::to_string(codePage_));
        m.settings.altName = m.settings.name;
    }
    if (auto keep = boolean(*s, "screensaver.", "keep_current")) m.settings.keepCurrent = *keep;
}

void ManifestReader::readTexts(const toml::table* texts, Manifest& m) {
    if (!texts) return;
    checkKeys(*texts, "texts.",
              {"question", "success", "failure", "status", "code_page", "alternate"});
    for (int i = 0; i < TextSlotCount; i++) {
        std::string key = std::string("texts.") + TextSlotNames[i];
        std::string text;
        if (const toml::node* n = string(*texts, "texts.", TextSlotNames[i], text)) {
            std::string bytes = encode(*n, key, text, false);
            checkText(*n, key, text, bytes, MaxTextBytes, true);
            m.settings.texts[i] = bytes;
        }
    }
    const toml::table* alt = table(*texts, "texts.", "alternate");
    if (!alt) {
        if (codePage_ != 0) {
            for (int i = 0; i < TextSlotCount; i++) {
                if (m.settings.texts[i] && !isAscii(*m.settings.texts[i])) {
                    const toml::node* n = texts->get(TextSlotNames[i]);
                    fail(*n, std::string("texts.") + TextSlotNames[i],
                         "holds non-ASCII characters: give texts.alternate." +
                             std::string(TextSlotNames[i]) +
                             " too (plain ASCII), shown on systems whose code page is not " +
                             std::to_string(codePage_));
                }
            }
        }
        return;
    }
    if (codePage_ == 0)
        fail(alt->source(), "texts.alternate",
             "is used only on systems whose code page differs from texts.code_page, which is "
             "not set");
    checkKeys(*alt, "texts.alternate.", {"question", "success", "failure", "status"});
    for (int i = 0; i < TextSlotCount; i++) {
        std::string key = std::string("texts.alternate.") + TextSlotNames[i];
        std::string text;
        if (const toml::node* n = string(*alt, "texts.alternate.", TextSlotNames[i], text)) {
            std::string bytes = encode(*n, key, text, true);
            checkText(*n, key, text, bytes, MaxTextBytes, true);
            m.settings.altTexts[i] = bytes;
        } else if (m.settings.texts[i] && !isAscii(*m.settings.texts[i])) {
            fail(*texts->get(TextSlotNames[i]), std::string("texts.") + TextSlotNames[i],
                 "holds non-ASCII characters: give texts.alternate." + std::string(TextSlotNames[i]) +
                     " too (plain ASCII), shown on systems whose code page is not " +
                     std::to_string(codePage_));
        }
    }
}

void ManifestReader::readButtons(const toml::table& root, Manifest& m) {
    const toml::table* b = table(root, "", "buttons");
    if (!b) return;
    checkKeys(*b, "buttons.", {"yes", "no"});
    std::string yes, no;
    const toml::node* yesNode = string(*b, "buttons.", "yes", yes);
    const toml::node* noNode = string(*b, "buttons.", "no", no);
    if (!yesNode && !noNode) return;
    if (!yesNode || !noNode)
        fail(yesNode ? *yesNode : *noNode, yesNode ? "buttons.yes" : "buttons.no",
             "the two labels go together: give buttons.yes and buttons.no");
    if (!m.settings.texts[0])
        fail(b->source(), "buttons", "label the question's buttons: give texts.question too");
    const bool altQuestion = m.settings.altTexts[0].has_value();
    for (auto [node, key, text, out] :
         {std::tuple{yesNode, "buttons.yes", &yes, &m.settings.yesLabel},
          std::tuple{noNode, "buttons.no", &no, &m.settings.noLabel}}) {
        if (text->empty()) fail(*node, key, "is empty");
        *out = encode(*node, key, *text, false);
        checkText(*node, key, *text, *out, MaxLabelBytes, false);
        // With an alternate question the labels are set aside on systems of
        // another code page; without one they would be shown there as well.
        if (!isAscii(*text) && !altQuestion)
            fail(*node, key,
                 "holds non-ASCII characters: give texts.alternate.question too (systems whose "
                 "code page is not " + std::to_string(codePage_) +
                 " then ask it with Yes and No)");
    }
    m.settings.customLabels = 1;
}

void ManifestReader::readInstall(const toml::table& root, Manifest& m) {
    const toml::table* inst = table(root, "", "install");
    const bool hasStatus = m.settings.texts[3].has_value();
    bool progress = false;
    const toml::node* progressNode = nullptr;
    std::string after = "none";
    const toml::node* afterNode = nullptr;
    const toml::node* documentNode = nullptr;
    if (inst) {
        checkKeys(*inst, "install.", {"progress", "after", "document"});
        if (auto p = boolean(*inst, "install.", "progress")) progress = *p;
        progressNode = inst->get("progress");
        afterNode = string(*inst, "install.", "after", after);
        documentNode = inst->get("document");
    }
    if (progress && !hasStatus)
        fail(*progressNode, "install.progress",
             "the progress dialog shows texts.status, which is not given (the installer "
             "would install without it)");
    if (!progress && hasStatus)
        fail(root.get("texts")->as_table()->get("status")->source(), "texts.status",
             "is shown only in the progress dialog: set install.progress = true");
    m.settings.showProgress = progress ? 1 : 0;

    int action = -1;
    for (int i = 0; i < 4; i++)
        if (after == PostInstallActionNames[i]) action = i;
    if (action < 0)
        fail(*afterNode, "install.after",
             "must be \"none\", \"display-properties\", \"run-screensaver\" or \"open-document\"");
    m.settings.postInstallAction = (uint32_t)action;

    if (action == 3 && !documentNode)
        fail(*afterNode, "install.after", "\"open-document\" needs install.document");
    if (documentNode) {
        if (action != 3)
            fail(*documentNode, "install.document",
                 "is opened only with install.after = \"open-document\"");
        ChunkSource doc = chunk(*documentNode, "install.document", "LESMI");
        std::string file = baseName(documentNode->is_string()
                                        ? std::string(documentNode->as_string()->get())
                                        : std::string(documentNode->as_table()->get("file")->as_string()->get()));
        if (!isAscii(file))
            fail(*documentNode, "install.document",
                 "the file name must be plain ASCII (it names a temporary file on the user's "
                 "system)");
        checkFileName(*documentNode, "install.document", file, file, MaxDocumentNameBytes);
        m.settings.documentPath = file;
        m.chunks.push_back(doc);
    }
}

void ManifestReader::readChunks(const toml::table& root, Manifest& m) {
    const toml::table* c = table(root, "", "chunks");
    if (!c) throw CommandError{ExitInvalid, path_ + ": [chunks]: missing (the installer's chunks)"};
    checkKeys(*c, "chunks.",
              {"saver", "stub", "movie", "zett", "kmdl", "previewb", "previewf", "addtl", "addl"});
    std::vector<ChunkSource> out;
    for (const char* key : {"saver", "stub", "movie", "zett", "kmdl"}) {
        const toml::node* n = c->get(key);
        if (!n) fail(c->source(), std::string("chunks.") + key, "missing (the installer needs it)");
        std::string name = key;
        for (char& ch : name) ch = (char)(ch - 'a' + 'A');
        out.push_back(chunk(*n, std::string("chunks.") + key, name));
    }
    if (const toml::node* n = c->get("previewb")) out.push_back(chunk(*n, "chunks.previewb", "PREVIEWB"));
    if (const toml::node* n = c->get("previewf")) {
        if (n->is_string() && n->as_string()->get() == "same-as-movie") {
            ChunkSource alias;
            alias.name = "PREVIEWF";
            alias.origin = "chunks.previewf (" + at(*n) + ")";
            alias.aliasOf = "MOVIE";
            out.push_back(alias);
        } else {
            out.push_back(chunk(*n, "chunks.previewf", "PREVIEWF"));
        }
    }
    // The document (LESMI) goes behind the named chunks.
    for (ChunkSource& doc : m.chunks) out.push_back(doc);
    m.chunks = out;

    const toml::node* seriesNode = nullptr;
    for (const char* key : {"addtl", "addl"}) {
        const toml::node* n = c->get(key);
        if (!n) continue;
        std::string k = std::string("chunks.") + key;
        if (!n->is_array()) fail(*n, k, "must be a list of files");
        const toml::array& list = *n->as_array();
        const bool addl = k == "chunks.addl";
        if (addl && list.size() > 17)
            fail(*n, k, "holds " + std::to_string(list.size()) +
                            " files; the installer counts at most 17 (ADDL, ADDL0 ... ADDL15)");
        for (size_t i = 0; i < list.size(); i++) {
            char name[32];
            if (i == 0) std::snprintf(name, sizeof name, "%s", addl ? "ADDL" : "ADDTL");
            else if (addl) std::snprintf(name, sizeof name, "ADDL%d", (int)i - 1);
            else std::snprintf(name, sizeof name, "ADDTL%02d", (int)i);
            checkChunkName(name, k + "[" + std::to_string(i) + "] (" + at(list[i]) + ")", ExitInvalid);
            m.chunks.push_back(chunk(list[i], k + "[" + std::to_string(i) + "]", name));
        }
        if (!list.empty() && !seriesNode) seriesNode = n;
    }
    const size_t total = m.chunks.size() + 1;  // and INFO
    if (total > (size_t)DirectoryMaxRecords)
        fail(seriesNode ? seriesNode->source() : c->source(), "chunks",
             "the installer would hold " + std::to_string(total) +
                 " chunks with INFO; its directory holds at most " +
                 std::to_string(DirectoryMaxRecords));
}

Manifest ManifestReader::read() {
    dir_ = dirName(path_);
    std::string text = readText();
    toml::table root;
    try {
        root = toml::parse(text, path_);
    } catch (const toml::parse_error& e) {
        throw CommandError{ExitInvalid, at(e.source()) + ": " + std::string(e.description())};
    }
    checkKeys(root, "", {"screensaver", "texts", "buttons", "install", "chunks"});

    Manifest m;
    m.path = path_;
    const toml::table* texts = table(root, "", "texts");
    const toml::node* codePageNode = texts ? texts->get("code_page") : nullptr;
    if (codePageNode) {
        if (!codePageNode->is_integer())
            fail(*codePageNode, "texts.code_page", "must be a code page number");
        int64_t cp = codePageNode->as_integer()->get();
        if (cp != 0 && (cp < 0 || cp > 65535 || !isSupportedCodePage((uint32_t)cp)))
            fail(*codePageNode, "texts.code_page",
                 std::to_string(cp) +
                     " is not a Windows ANSI code page sspack converts to (874, 932, 936, 949, "
                     "950, 1250-1258)");
        codePage_ = (uint32_t)cp;
        if (cp == 0) codePageNode = nullptr;
    }
    m.settings.codePage = codePage_;
    readScreensaver(root, codePageNode, m);
    readTexts(texts, m);
    readButtons(root, m);
    readInstall(root, m);
    readChunks(root, m);
    return m;
}

}  // namespace

void checkChunkName(const std::string& name, const std::string& where, int code) {
    if (name.empty()) throw CommandError{code, where + ": a chunk name cannot be empty"};
    if (name.size() > MaxChunkNameLength)
        throw CommandError{code, where + ": chunk name \"" + name + "\" is longer than " +
                                     std::to_string(MaxChunkNameLength) + " characters"};
    for (unsigned char c : name)
        if (c < 0x20 || c >= 0x7F)
            throw CommandError{code, where + ": chunk name \"" + name +
                                         "\" holds a character other than printable ASCII"};
}

Manifest loadManifest(const std::string& path) { return ManifestReader(path).read(); }
