#include "example_manifest.h"

const char ExampleManifest[] = R"MANIFEST(# An installer manifest for sspack. Build it with
#   sspack build manifest.toml -o MyInstaller.exe
# Paths are relative to this file's folder. Keys not shown here are errors.

[screensaver]
name = "Aurora"              # the installed file is Aurora.scr (at most 71 characters;
                             # no \ / : * ? " < > | or control characters)
# alt_name = "Aurora"        # plain ASCII name used on systems whose code page is not
                             # texts.code_page; needed when name is not plain ASCII
keep_current = false         # true: install without making it the current screensaver

[texts]                      # every text is optional; an absent one is not shown
question = "Install the Aurora screensaver?"
success = "Aurora is now your screensaver."
failure = "Aurora could not be installed."
status = "Installing Aurora..."   # shown in the progress dialog (install.progress)
# code_page = 1252           # the Windows code page the texts are shown in (874, 932,
                             # 936, 949, 950, 1250-1258); without it, texts are ASCII.
                             # At most 79 bytes per text in that code page.

# [texts.alternate]          # plain ASCII texts for systems whose code page is not
# question = "..."           # texts.code_page: needed for each text that is not ASCII
# success = "..."
# failure = "..."
# status = "..."

[buttons]                    # custom labels of the question's buttons (both, or
yes = "Install"              # neither for Yes and No); at most 31 bytes each
no = "Cancel"

[install]
progress = true              # install inside a progress dialog showing texts.status
after = "run-screensaver"    # "none", "display-properties", "run-screensaver" or
                             # "open-document"
# document = "docs/readme.txt"   # the document that "open-document" opens

[chunks]
# Each chunk is a path, or a table { file = "...", storage = "...", xor = N }:
# storage "compressed" (the default), "stored", or "auto" (stored when compression
# does not make it smaller); xor = 1..255 scrambles a stored chunk.
saver = "bin/aurora.scr"     # the screensaver program: the installed file begins with it
stub = "bin/stub.bin"
movie = "media/aurora.dat"
zett = "data/zett.bin"
kmdl = "data/kmdl.bin"
# previewb = "media/preview.bmp"
# previewf = "same-as-movie"       # a path, or a second name for the movie's data
# addtl = ["extra/a.bin", "extra/b.bin"]   # ADDTL, ADDTL01, ...: copied into the .scr
# addl = []                        # ADDL, ADDL0 ... ADDL15: counted for the progress bar
)MANIFEST";
