// Runs a fuzz target's entry point over files and folders of inputs, so that
// the seed corpora and the kept crash inputs replay as ordinary tests (under
// the sanitizers in the sanitize build) without the fuzzing engine.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size);

namespace {

int replayed = 0;

bool replayFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    // Named first, so that an input that aborts the run is known.
    std::fprintf(stderr, "replaying %s\n", path.c_str());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++replayed;
    return true;
}

bool replay(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return true;  // an absent folder holds no inputs
    if (!S_ISDIR(st.st_mode)) return replayFile(path);
    DIR* dir = opendir(path.c_str());
    if (!dir) return false;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(dir);
    bool ok = true;
    std::sort(names.begin(), names.end());
    for (const auto& name : names) ok = replay(path + "/" + name) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    for (int i = 1; i < argc; ++i) ok = replay(argv[i]) && ok;
    std::printf("replayed %d inputs\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
